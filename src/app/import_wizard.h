#pragma once
// "ImportMeny", the import wizard: six steps in which the user chooses the
// source format, the kinds of messages with their target databases, the
// selection method and the files, directory or directory tree (for "Outlook
// Mail" a data file and its folders), re-import and a topic for the mail.
// "S&tart" hands the choices to the import set-up (import_setup.h, the same
// path as the command line), optionally saves them as a predefined import
// for the scheduler ("Saved from ImportWizard"), and opens the import
// processing window with the prepared run.

#include <QStringList>

#include "app/tool_window.h"
#include "import/import_setup.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace qb::app {

class ImportRunWindow;

// The saved place of the import wizard.
constexpr int kPlaceImportWizard = 22;

class ImportWizard : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit ImportWizard(MainFrame& frame);

  enum Step { Welcome = 0, FileType, MsgTypes, Method, Selection, Options, StepCount };
  int step() const;
  QString stepTitle() const;
  // "&Next" (false, with the reason told, when the step's values do not
  // allow going on), "&Back".
  bool next();
  void back();
  // "S&tart": sets the run up and opens the import processing window; the
  // window, or null when the set-up refused (told) or saving failed.
  ImportRunWindow* start();

  // The values of the steps (also set by tests).
  void setSaveForScheduler(bool on);
  QStringList formatNames() const;          // the offered formats, in table order
  bool setFormat(const QString& name);      // false for a format not offered
  QString format() const;
  void setKinds(bool mail, bool forum, bool news);
  QStringList mailDatabaseNames() const;
  void setMailDatabase(const QString& name);
  QStringList forumNames() const;           // the "Look up Forum name" list
  void setForumName(const QString& name);
  void setCreateOnly(bool on);
  void setMethod(int method);               // 0 tree, 1 directory, 2 files
  int method() const;
  bool methodOffered(int method) const;
  // What the selection dialog saves: the directory with its masks, or files.
  void setSelection(const QString& directory, const QString& masks, const QStringList& files);
  void setAllCimFiles(bool on);
  bool allCimOffered() const;
  QString allCimText() const;
  void setOutlookSelection(const QString& dataFile, const QString& folders);
  void setReimport(bool on);
  void setTopic(const QString& topic);
  QStringList topicNames() const;
  // The order the choices make (before the set-up completes it).
  import::ImportOrder order() const;
  // The batch identifier saved by the last start, 0 when none.
  uint32_t savedDefinition() const { return saved_; }

 protected:
  void closing() override;

 private:
  void buildPages();
  void showStep(int step);
  void formatChanged();
  void methodChanged();
  void mailChanged();
  void openSelection();
  void refreshSelection();
  bool isOutlook() const;
  bool checkStep(int step);

  QStackedWidget* pages_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* help_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* start_ = nullptr;
  // Step 1.
  QCheckBox* saveForScheduler_ = nullptr;
  // Step 2.
  QListWidget* formats_ = nullptr;
  // Step 3.
  QCheckBox* mail_ = nullptr;
  QComboBox* mailDb_ = nullptr;
  QCheckBox* forum_ = nullptr;
  QLineEdit* forumName_ = nullptr;
  QPushButton* forumLookup_ = nullptr;
  QCheckBox* news_ = nullptr;
  QRadioButton* allMessages_ = nullptr;
  QRadioButton* createOnly_ = nullptr;
  // Step 4.
  QButtonGroup* methods_ = nullptr;
  // Step 5.
  QLabel* selectionTitle_ = nullptr;
  QLineEdit* directory_ = nullptr;
  QLineEdit* masks_ = nullptr;
  QListWidget* files_ = nullptr;
  QPushButton* select_ = nullptr;
  QCheckBox* allCim_ = nullptr;
  // Step 6.
  QCheckBox* reimport_ = nullptr;
  QCheckBox* attachTopic_ = nullptr;
  QComboBox* topic_ = nullptr;

  QString dir_, outlookFile_, outlookFolders_;
  QStringList picked_;
  uint32_t saved_ = 0;
  bool started_ = false;
};

}  // namespace qb::app
