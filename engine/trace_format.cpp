// The trace file format: see trace_format.h.
