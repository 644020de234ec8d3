#pragma once
// The export window in its four uses: "ExportProc" (export messages),
// "PrintProc" (print them), "ClassifyProc" (attach or remove a topic) and
// "StatusProc" (set the keep status), all on the messages related to the
// browse's current message, sender, receiver, thread, section, database,
// mail partner, key word, topic or search result. The CopyMsg engine does
// the work, one message per timer tick; after an "Eudora" export the
// mailboxes get their tables of contents the same way.

#include <QPointer>
#include <memory>
#include <vector>

#include "app/tool_window.h"
#include "export/copy_msg.h"
#include "export/address_export.h"
#include "export/mailbox_toc.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;

namespace qb::app {

class ExportWindow : public ToolWindow {
  Q_OBJECT
 public:
  enum Use { UseExport, UsePrint, UseClassify, UseStatus };
  // Opens (or raises) the window of a use for the current database.
  static ToolWindow* open(MainFrame& frame, Use use);
  static QString windowNameOf(Use use);
  ExportWindow(MainFrame& frame, Use use);
  ~ExportWindow() override;

  // What the window holds (also for tests).
  Use use() const { return use_; }
  void chooseScope(int scope);
  int scope() const;
  void chooseFormat(const QString& name);
  void setFileNames(const QString& inbox, const QString& outbox);
  void setWrap(bool wrap, int column);
  void setDateRange(bool on, const QDate& from, const QDate& to);
  void setAppend(bool append);
  void chooseTopic(const QString& name, bool remove);
  void chooseStatus(int status);  // 0 normal, 1 keep, 2 delete
  bool outboxShown() const;
  // Starts the run (the checks first); false when it did not start.
  bool start();
  void abort();
  bool running() const;
  QString statusText() const;
  const exporting::CopyMsg* run() const { return run_.get(); }
  // The printable text of the last print run, as a PDF file.
  bool printTo(const QString& pdfPath);

 protected:
  void notify(int code, int arg) override;
  void closing() override;

 private:
  void buildUi();
  void fillScopes();
  void formatChanged();
  void tick();
  void finishRun();
  void nextToc();
  void setBusy(bool busy);
  exporting::ExportRequest request() const;

  Use use_;
  bool mail_;
  std::unique_ptr<exporting::CopyMsg> run_;
  std::vector<exporting::WrittenBox> boxes_;
  std::unique_ptr<exporting::CreateTOC> toc_;
  std::vector<exporting::TopicEntry> topics_;
  QString lastPrint_;

  QGroupBox* scopeBox_ = nullptr;
  QButtonGroup* scopes_ = nullptr;
  QComboBox* format_ = nullptr;
  QRadioButton* newFile_ = nullptr;
  QRadioButton* append_ = nullptr;
  QLineEdit* inbox_ = nullptr;
  QLineEdit* outbox_ = nullptr;
  QLabel* outboxLabel_ = nullptr;
  QRadioButton* hardCrs_ = nullptr;
  QRadioButton* wrap_ = nullptr;
  QSpinBox* column_ = nullptr;
  QCheckBox* dateFilter_ = nullptr;
  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  QComboBox* topic_ = nullptr;
  QRadioButton* attach_ = nullptr;
  QRadioButton* remove_ = nullptr;
  QButtonGroup* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* state_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* abort_ = nullptr;
  QTimer* timer_ = nullptr;
};

// The address export " Export Address Book" ("AddressExport").
class AddressExportWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit AddressExportWindow(MainFrame& frame);
  ~AddressExportWindow() override;

  void chooseFormat(const QString& name);
  void setFileName(const QString& name);
  void setTopicFilter(bool on, const QString& topic);
  void setDateRange(bool on, const QDate& from, const QDate& to);
  bool start();
  void abort();
  bool running() const;
  QString statusText() const;

 private:
  void tick();
  void finishRun(bool aborted);
  std::unique_ptr<exporting::CopyAddress> run_;
  std::vector<exporting::TopicEntry> topics_;
  QComboBox* format_ = nullptr;
  QLineEdit* file_ = nullptr;
  QCheckBox* topicFilter_ = nullptr;
  QComboBox* topic_ = nullptr;
  QCheckBox* dateFilter_ = nullptr;
  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* state_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* abort_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace qb::app
