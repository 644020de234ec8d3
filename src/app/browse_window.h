#pragma once
// The message browse "BrowseMsgNmbr" (forum and newsgroup databases) and
// the mail browse "BrowseMail": a page-loaded list of headers in one of the
// views (a sort order of the whole database or a subset), with status
// colours and status writes, filters, location by date or number, a
// bookmark, and the paged text of the highlighted message in a fixed-pitch
// text box below.

#include <QPointer>
#include <memory>

#include "app/paged_model.h"
#include "app/tool_window.h"
#include "archive/browse/browse_view.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class QTableView;
class QToolButton;

namespace qb::app {

class BrowseWindow : public ToolWindow {
  Q_OBJECT
 public:
  // Opens the browse of the current database's kind.
  static ToolWindow* open(MainFrame& frame);
  BrowseWindow(MainFrame& frame, bool mail);

  void navigate(int control) override;

  // What the window shows (also for tests).
  bool isMail() const { return mail_; }
  int view() const { return state_.view; }
  void setView(int v);
  PagedListModel& model() { return model_; }
  QTableView* list() const { return list_; }
  int currentRow() const;
  void setCurrentRow(int r);
  const ListRow* current() const;
  QString textPage() const;
  int pageCount() const { return static_cast<int>(pages_.size()); }
  int page() const { return page_; }
  void showPage(int p);
  uint32_t viewCount() const { return count_; }
  // The highlighted row's thread, section, sender, receiver or partner
  // becomes the filter of the current view.
  void filterFromCurrent();
  // Moves the filter to the neighbouring one; false (with a beep) at an end.
  bool moveFilter(int dir);
  // Takes the entry: a date in view 1, a message number in view 6.
  void locate(const QString& entry);
  // Writes a status through the pop-up menu's choice (0-based item number).
  bool chooseStatus(int item);
  // Goes to a message by number in the current view.
  bool goToMessage(uint32_t id);
  void toggleBookmark();
  bool bookmarked() const { return bookmark_.set; }
  // Copies the highlighted message to the clipboard.
  void copyMessage();

 protected:
  void notify(int code, int arg) override;
  void closing() override;
  QRect firstPlace(const QRect& area) const override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  struct Bookmark {
    bool set = false;
    store::BrowseState state;
    int64_t pos = 0;
  };
  void buildUi();
  void makePager();
  void reload(int64_t keepPos);
  void afterReload();
  void moveBy(int delta);
  void rowChanged();
  void showText(const ListRow* r);
  void updateTitle();
  void updatePrompt();
  void updateFilterButtons();
  void statusMenu(const QPoint& at);
  void lookUp();
  void askDeletion();
  QStringList cellsOf(const store::MsgRow& r) const;
  QStringList cellsOf(const store::MailRow& r) const;
  void showFiltered(int64_t keepPos);

  const bool mail_;
  store::BrowseState state_;
  store::RowOptions opts_;
  int datePicture_ = 2;
  std::unique_ptr<store::BrowseQuery> query_;
  std::unique_ptr<QueryRows> rows_;
  PagedListModel model_;
  std::vector<std::string> pages_;
  int page_ = 0;
  uint32_t count_ = 0;
  Bookmark bookmark_;
  bool loading_ = false;

  QTabBar* tabs_ = nullptr;
  QLabel* prompt_ = nullptr;
  QLineEdit* entry_ = nullptr;
  QToolButton* lookup_ = nullptr;
  QLineEdit* msgNo_ = nullptr;
  QLineEdit* refNo_ = nullptr;
  QLabel* msgLabel_ = nullptr;
  QLabel* refLabel_ = nullptr;
  QPushButton* bookmarkButton_ = nullptr;
  QTableView* list_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QPushButton* prevPage_ = nullptr;
  QPushButton* nextPage_ = nullptr;
};

}  // namespace qb::app
