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
#include "archive/browse/browse_words.h"
#include "index/query.h"
#include "index/result_set.h"

class QLabel;
class QLineEdit;
class QTimer;
class QFileSystemWatcher;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class QTableView;
class QToolButton;

namespace qb::app {

class MessageHeaderView;

class BrowseWindow : public ToolWindow {
  Q_OBJECT
 public:
  // Opens the browse of the current database's kind.
  static ToolWindow* open(MainFrame& frame);
  BrowseWindow(MainFrame& frame, bool mail);

  void navigate(int control) override;
  void refreshView() override { refresh(); }
  void findInView() override { focusEntry(); }

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
  // Takes the entry: a date in view 1, a message number in view 6, a
  // subject in the mail's subject view; in a filtered view an empty entry
  // clears the filter and a text opens the pick list at it.
  void locate(const QString& entry);
  // Removes the filter of the current view: all messages in its order.
  void clearFilter();
  bool filterSet() const;
  // The line that tells what the list shows ("All 5 messages by sender",
  // "Sender Smith,Jane: 3 of 5 messages").
  QString scopeText() const;
  // Reads the view again (the archive may have been written by another
  // program), keeping the highlighted message.
  void refresh();
  // Puts the focus into the entry field (Find).
  void focusEntry();
  // The header block of the highlighted message, "Label: value" lines.
  QStringList headerLines() const;
  // The place of the highlighted row in the view (1-based; 0 unknown).
  int64_t rowNumber() const { return rowNumber_; }
  // Counts the place of the highlighted row and shows "Row n of N" in the
  // frame's status bar (done shortly after the highlight moved).
  void updateRowNumber();
  // Reads the view again when another program has changed the number of
  // messages of the database; true when it did.
  bool refreshIfChanged();
  // The column that shows the view's order (-1: none).
  int sortColumn() const;
  // Writes a status through the pop-up menu's choice (0-based item number).
  bool chooseStatus(int item);
  // Goes to a message by number in the current view.
  bool goToMessage(uint32_t id);
  void toggleBookmark();
  bool bookmarked() const { return bookmark_.set; }
  // Copies the highlighted message to the clipboard.
  void copyMessage();
  // Opens the export window in a use (ExportWindow::Use) on the current row.
  void openExport(int use);

  // ---- the KeyWord, Topic and Search views (browse_word_views.cpp) ----
  enum class WordView { None, KeyWord, Topic, Search };
  WordView wordView() const;
  // KeyWord: the indexed word typed (or the first that begins with it).
  bool showKeyWord(const QString& typed);
  // Topic: the topic typed (or chosen from the list when several match).
  bool showTopic(const QString& typed);
  // Search: runs a search over the word index and shows its result set.
  bool runSearch(const QString& searchString, bool any = false, bool phrase = false);
  // Re-sorts the result set (Search view) and stores it; the current
  // message stays current.
  void resortResults(index::ResultOrder order);
  index::ResultOrder resultOrder() const { return order_; }
  // Hits in the shown page of the text.
  int hitCount() const { return static_cast<int>(hits_.size()); }
  int currentHit() const { return hit_; }
  void moveHit(int dir);
  QString selectedText() const;

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
  void updateScope();
  void watchDatabase();
  void headerClicked(int column);
  void showSortColumn();
  void feedback(const QString& text);
  void statusMenu(const QPoint& at);
  void lookUp();
  void askDeletion();
  QStringList cellsOf(const store::MsgRow& r) const;
  QStringList cellsOf(const store::MailRow& r) const;
  void showFiltered(int64_t keepPos);
  void makeSetPager();
  void updateWordPrompt();
  void wordLookUp();
  void sortMenu(const QPoint& at);
  void findHits();
  void showHit();

  const bool mail_;
  store::BrowseState state_;
  store::RowOptions opts_;
  int datePicture_ = 2;
  std::unique_ptr<store::BrowseQuery> query_;
  std::unique_ptr<store::SetQuery> setQuery_;  // the KeyWord, Topic and Search views
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
  QToolButton* clear_ = nullptr;
  QLabel* scope_ = nullptr;
  MessageHeaderView* header_ = nullptr;
  QTimer* rowTimer_ = nullptr;
  int64_t rowNumber_ = 0;
  bool sectionColumn_ = true;  // the message browse shows the Section column
  int orderColumn_ = 5;        // Msg No (messages) or Partner (mail)
  QFileSystemWatcher* watcher_ = nullptr;
  QTimer* changeTimer_ = nullptr;
  uint32_t fileCount_ = 0;  // records of the header file when last read
  QTableView* list_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QPushButton* prevPage_ = nullptr;
  QPushButton* nextPage_ = nullptr;
  QPushButton* prevHit_ = nullptr;
  QPushButton* nextHit_ = nullptr;

  uint32_t wordId_ = 0, topicId_ = 0;
  index::ResultOrder order_ = index::ResultOrder::Found;
  QString searchString_;
  std::vector<index::QueryWord> query2_;  // the words whose hits are marked
  bool phrase_ = false;
  std::unique_ptr<index::Tokeniser> tokeniser_;
  std::vector<index::HitRange> hits_;
  int hit_ = -1;
};

}  // namespace qb::app
