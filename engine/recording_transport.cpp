// A transport that records what passes through it: see recording_transport.h.
