#pragma once
// The frame: an MDI main window with the menus, toolbar and status zones,
// the window registry, the dispatcher of procedure codes, the numbered
// notifications addressed to the frame, the choice of the active database
// and the exit procedure.

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>

#include "app/window_registry.h"

class QLabel;
class QMdiArea;
class QMenu;
class QTimer;
class QToolBar;

namespace qb::store {
class Session;
}

namespace qb::app {

class ToolWindow;

// Commands of the menus and the toolbar.
enum Cmd {
  CmdPreferences, CmdChangeDb, CmdMailSetup, CmdExit, CmdImportWizard, CmdScheduler, CmdDefineProcs,
  CmdScheduleTasks, CmdShowLog, CmdPersons, CmdMerge, CmdBrowse, CmdCount, CmdPurge, CmdClassify, CmdTopics,
  CmdAttachTopics, CmdClassifySets, CmdStatus, CmdThreadTree, CmdExportMsgs, CmdExportAddr, CmdHelpContents,
  CmdHelpSearch, CmdHelpUse, CmdSupport, CmdAbout, CmdIndexWords, CmdCount_
};

// The start-up result: 0 stop, 1 normal start, 99 first start.
enum StartResult { StartStop = 0, StartNormal = 1, StartFirst = 99 };

class MainFrame : public QMainWindow {
  Q_OBJECT
 public:
  MainFrame(store::Session& s, int startResult);
  ~MainFrame() override;

  store::Session& session() { return s_; }
  WindowRegistry& registry() { return registry_; }
  QMdiArea* mdiArea() const { return mdi_; }

  // Puts a window into the frame and shows it.
  void addChild(ToolWindow* w, QSize size);
  // Looks the window up; raises it when open (notification 546), otherwise
  // opens it. The window, or nullptr for a window this program lacks.
  QWidget* openOrRaise(const QString& name);
  // Runs a procedure code of the dispatcher.
  void runCode(int code);
  // Closes tool windows before a change; true when something was closed
  // (the caller then retries).
  bool closeToolWindows(int reason);
  // Evaluates the active database and the title.
  void evaluateDatabase();
  // A press of a menu item or toolbar button.
  void press(Cmd c);
  // A press of a navigation or filter button: passed to the active window.
  void pressNavigation(int control);
  // Set by the active browse: tips and status texts of the three filter
  // buttons (empty: disabled), and whether the navigation buttons work.
  void setFilterTexts(const QStringList& texts);
  void setNavigationEnabled(bool on);

  // What the frame shows (also read by tests).
  bool isEnabled(Cmd c) const;
  bool isButtonEnabled(Cmd c) const;
  QString titlePart() const { return titlePart_; }
  QString commandText(Cmd c) const;
  QString statusZone(int zone) const;  // 1 row of the active browse, 2 kind, 3 date, 4 time
  // The place of the highlighted row in the active browse ("Row 3 of 57").
  void setRowZone(const QString& text);
  // F5, Ctrl+F and Ctrl+W act on the active window.
  void refreshActive();
  void findInActive();
  // Cascades the windows and keeps the small tool windows (the thread
  // tree) in front of the large ones, so none ends hidden.
  void cascade();
  int startResult() const { return startResult_; }
  void refreshClock();
  // Opens a help topic in the help window.
  void showHelp(const QString& topic);

 signals:
  void closedDown();

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  struct Command {
    QAction* item = nullptr;    // the menu item
    QAction* button = nullptr;  // the toolbar button, when it has one
    int reason = -1;            // exclusive commands: reason of the closing
    int code = 30;              // dispatcher code
  };
  void buildMenus();
  void buildToolbar();
  void buildStatusBar();
  void setCmdEnabled(Cmd c, bool on);
  void setButtonEnabled(Cmd c, bool on);
  void disableForExclusive();
  void enableAll();
  void setNoDatabaseState();
  void setKindTexts();
  void updateTitle();
  void notification(int code, int arg);
  void deferredPress(Cmd c);
  void exitProcedure();
  ToolWindow* activeChild() const;
  ToolWindow* openWindow(const QString& name);
  void applyBackground();
  bool available(Cmd c) const;

  store::Session& s_;
  WindowRegistry registry_;
  QMdiArea* mdi_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QMenu* schedulerMenu_ = nullptr;
  QMenu* classifyMenu_ = nullptr;
  Command cmds_[CmdCount_];
  QList<QAction*> nav_;  // six navigation and three filter buttons
  QLabel* zone_[5] = {};
  QTimer* clock_ = nullptr;
  QString titlePart_;
  int startResult_;
  bool noDatabase_ = true;
  bool schedulerMenus_ = false;
  bool exclusive_ = false;
  bool closing_ = false;
  int32_t datePicture_ = 2, timePicture_ = 1;
};

}  // namespace qb::app
