#pragma once

#include <QObject>

namespace tessor::test {

// The POI page never drops the user's POIs or edits without a word, and shows
// every status readably.
class PoiTrustTest : public QObject {
  Q_OBJECT
 private slots:
  void SaveSaysWhatItDropsAndWhatItWrote();
  void SaveWithNothingToDropAsksNothing();
  void LoadAsksAboutUnsavedEdits();
  void ResetAsksAboutUnsavedEdits();
  void DisconnectAsksAboutUnsavedEdits();
  void CancelKeepsTheLinkAndTheWindow();
  void StatusTextsFitTheirColumn();
};

}  // namespace tessor::test
