#pragma once
// Numbered notifications between windows. All windows live on the GUI
// thread; a notification is a posted event carrying its code, handled by
// the receiver one at a time in the event loop.

#include <QCoreApplication>
#include <QEvent>

namespace qb::app {

enum Note : int {
  NoteToFront = 546,
  NoteDeferredPress = 1280,
  NoteDisableButtons = 1288,
  NoteEnableAll = 1289,
  NoteReevaluate = 1298,
  NoteDeactivate = 1299,
  NoteShowThreadTree = 1315,
  NoteTreeClosed = 1316,
  NoteGoToMessage = 1317,
  NoteDatabaseChanged = 1318,
  NoteDatabaseChanged2 = 1319,
  NoteCurrentChanged = 1321,
  NoteFocusBack = 1328,
  NoteSchedulerClosed = 1330,
  NoteSchedulerClosed2 = 1331,
  NoteCopyMessage = 1332,
  NoteEnableAll2 = 1345,
  NoteIgnored = 1346,
  NoteReloadList = 1347,
  NoteAttachTopics = 1365,
  NoteThreadView = 1368,
  NoteStartTask = 1369,
  NotePressImportWizard = 1377,
  NoteTaskPurge = 1378,
  NoteTaskNothing = 1380,
  NoteTaskCount = 1381,
  NoteTaskMerge = 1382,
  NoteBrowseBatch = 1384,
  NoteSchedulerStep = 1385,
  NoteCleanUp3 = 1392,
  NoteCleanUp6 = 1393,
  NoteTasksFinished = 1394,
  NoteStartupWizard = 1396,
  NoteExport = 1400,
  NotePrint = 1401,
  NoteClassifySets = 1408,
  NoteSetStatus = 1409,
  NoteReloadKeep = 1410,
  NoteAdvanceTasks = 1413,
};

class Notification : public QEvent {
 public:
  static QEvent::Type eventType() {
    static const int t = QEvent::registerEventType();
    return static_cast<QEvent::Type>(t);
  }
  Notification(int code, int arg = 0) : QEvent(eventType()), code_(code), arg_(arg) {}
  int code() const { return code_; }
  int arg() const { return arg_; }  // e.g. the control of a deferred press

 private:
  int code_, arg_;
};

inline void post(QObject* to, int code, int arg = 0) {
  if (to) QCoreApplication::postEvent(to, new Notification(code, arg));
}

}  // namespace qb::app
