#pragma once
// The base of every window inside the frame: it registers under its name
// and group while it is open, receives numbered notifications, remembers
// its place (WindowPos2 entry) and takes the frame's navigation buttons.

#include <QWidget>

namespace qb::store {
class Session;
}

namespace qb::app {

class MainFrame;

// The frame's navigation range, passed on to the active window.
enum NavControl { NavFirst = 1, NavPriorPage, NavPriorRecord, NavNextRecord, NavNextPage, NavLast,
                  NavPrevFilter, NavFilter, NavNextFilter };

// Entries of the saved window places (WindowPos2) and list columns (ListCol).
enum PlaceEntry { PlaceFrame = 1, PlaceBrowseMsg = 2, PlaceBrowseMail = 3, PlaceThreadTree = 4,
                  PlaceChangeForum = 5, PlaceBrowseBox = 6, PlaceAbout = 7, PlaceHelp = 8, PlaceTopics = 9,
                  PlaceClassify = 10, PlaceIndexWords = 11 };
enum ColumnEntry { ColsBrowseMsg = 1, ColsBrowseMsg2 = 2, ColsBrowseMail = 3, ColsBrowseMail2 = 4,
                   ColsChangeForum = 5, ColsChangeForum2 = 6, ColsBrowseBox = 7 };

class ToolWindow : public QWidget {
  Q_OBJECT
 public:
  ToolWindow(MainFrame& frame, const QString& name, const QString& group, int placeEntry);
  ~ToolWindow() override;
  const QString& windowName() const { return name_; }
  // A press of a navigation or filter button of the frame.
  virtual void navigate(int control) {}
  // Reads what the window shows again (F5).
  virtual void refreshView() {}
  // Puts the focus where the user types what to find (Ctrl+F).
  virtual void findInView() {}
  // Restores the saved place of this window within the frame.
  void restorePlace();

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  // A numbered notification other than "come to the front".
  virtual void notify(int code, int arg) {}
  // Called once when the window closes (before it unregisters).
  virtual void closing() {}
  // The place of the window in the frame's area `area` while no place of
  // its own has been saved; an empty rectangle keeps the size it was given.
  virtual QRect firstPlace(const QRect& area) const { return {}; }
  store::Session& session();
  MainFrame& frame_;

 private:
  void savePlace();
  QString name_;
  int placeEntry_;
  bool closed_ = false;
};

}  // namespace qb::app
