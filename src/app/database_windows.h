#pragma once
// Database management: the database selection "ChangeForum", the mail
// database list "BrowseBox" with its edit window UpDateBox, the window
// " Add New Forum", and the about box.

#include <QDialog>
#include <vector>

#include "app/tool_window.h"
#include "archive/browse/browse_databases.h"

class QLineEdit;
class QTabBar;
class QTableWidget;

namespace qb::app {

class ChangeForumWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit ChangeForumWindow(MainFrame& frame);

  void fill();
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

 protected:
  void closing() override;

 private:
  void editNew();
  void editHighlighted();
  QTableWidget* table_;
  std::vector<store::MailDatabaseRow> dbs_;
};

// " Add New Forum": a forum database with the next identifier and directory.
class AddForumDialog : public QDialog {
  Q_OBJECT
 public:
  AddForumDialog(QWidget* parent, store::Session& s);
  uint32_t added() const { return added_; }
  bool save(const QString& name);

 private:
  store::Session& s_;
  QLineEdit* name_;
  uint32_t added_ = 0;
};

class AboutWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit AboutWindow(MainFrame& frame);
};

}  // namespace qb::app
