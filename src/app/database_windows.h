#pragma once
// Database management: the database selection "ChangeForum", the mail
// database list "BrowseBox" with its edit window UpDateBox, the window
// " Add New Forum", and the about box.

#include <QDialog>
#include <functional>
#include <vector>

#include "app/tool_window.h"
#include "archive/browse/browse_databases.h"

class QLabel;
class QLineEdit;
class QTabBar;
class QTableWidget;

namespace qb::app {

// A small window that asks for a name: a field, the save button and Cancel.
// An empty name is refused with a message in the window, which stays open.
class NameDialog : public QDialog {
  Q_OBJECT
 public:
  NameDialog(QWidget* parent, const QString& title, const QString& label, const QString& saveText,
             const QString& text = {});
  QString name() const;
  void setName(const QString& n);
  QString problem() const;
  void accept() override;
  // Called with the name on saving; false (with its own message) keeps the
  // window open. Unset: the window closes with the name.
  std::function<bool(const QString&)> save;

 private:
  QLineEdit* edit_;
  QLabel* problem_;
};

class ChangeForumWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit ChangeForumWindow(MainFrame& frame);

  void fill();
  void refreshView() override { fill(); }
  void setOrder(store::DatabaseOrder o);
  QTableWidget* table() const { return table_; }
  const std::vector<store::DatabaseRow>& rows() const { return rows_; }
  void selectRow(int r);
  // Makes the highlighted database current and closes.
  void choose();
  // Writes a status (0, 1, 2) of the highlighted database.
  void setRowStatus(uint8_t status);
  void setImport(bool allowed);
  bool rename(const QString& name);
  // The window of "Change database name" for the highlighted row.
  NameDialog* renameDialog();
  void addForum();

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;
  void closing() override;

 private:
  void popup(const QPoint& at);
  const store::DatabaseRow* highlighted() const;
  QTabBar* tabs_;
  QTableWidget* table_;
  std::vector<store::DatabaseRow> rows_;
  store::DatabaseOrder order_ = store::DatabaseOrder::ByName;
  bool chosen_ = false;
};

// UpDateBox: the name and addresses of a mail database.
class UpDateBox : public QDialog {
  Q_OBJECT
 public:
  UpDateBox(QWidget* parent, bool inserting, const store::MailDatabaseFields& fields);
  store::MailDatabaseFields fields() const;
  void setFields(const store::MailDatabaseFields& f);

 private:
  QLineEdit* name_;
  QLineEdit* address_;
  std::vector<QLineEdit*> alt_;
};

class MailDatabasesWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit MailDatabasesWindow(MainFrame& frame);
  void fill();
  QTableWidget* table() const { return table_; }
  // Saving the edit window: a new mail database, or changes of the
  // highlighted one. False leaves the edit window open.
  bool insert(const store::MailDatabaseFields& f);
  bool update(const store::MailDatabaseFields& f);
  // "&Update": the highlighted database in the edit window; with none, the
  // reason is told.
  void editHighlighted();
  void refreshView() override { fill(); }

 protected:
  void closing() override;

 private:
  void editNew();
  QTableWidget* table_;
  std::vector<store::MailDatabaseRow> dbs_;
};

// " Add New Forum": a forum database with the next identifier and directory.
class AddForumDialog : public NameDialog {
  Q_OBJECT
 public:
  AddForumDialog(QWidget* parent, store::Session& s);
  uint32_t added() const { return added_; }
  bool saveForum(const QString& name);

 private:
  store::Session& s_;
  uint32_t added_ = 0;
};

class AboutWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit AboutWindow(MainFrame& frame);
};

}  // namespace qb::app
