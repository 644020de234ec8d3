#pragma once
// The selection dialogs of the import wizard: "Directory Tree Selection
// Dialog", "Directory Selection Dialog" and "File Selection Dialog" show the
// directory tree (drives, folders, network and CD icons) with the files of
// the chosen directory that match the entered masks, and leave with "Save
// selection" (after checking that masks were entered and, for the file
// selection, that files were picked) or "Exit without saving". The Outlook
// folder selection takes an Outlook data file and shows its folder tree to
// tick the mail folders to import.

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QFileSystemModel;
class QTreeView;
class QTreeWidget;

namespace qb::store {
class Session;
}

namespace qb::app {

class FileSelectionDialog : public QDialog {
  Q_OBJECT
 public:
  // method: 0 directory tree, 1 directory, 2 files; masks: the format's
  // masks or the ones chosen before ("*.MBX;*.TXT").
  FileSelectionDialog(store::Session& s, int method, const QString& directory, const QString& masks,
                      QWidget* parent = nullptr);

  int method() const { return method_; }
  // The directory shown; its matching files are listed.
  void setDirectory(const QString& dir);
  QString directory() const { return dir_; }
  void setMasks(const QString& masks);
  QString masks() const;
  // The files listed for the directory (file names), and picking them.
  QStringList listedFiles() const;
  void pickFiles(const QStringList& names);
  // The picked files with their full paths (file selection).
  QStringList pickedFiles() const;
  // "Save selection": false (with the warning told) when no mask was
  // entered or, for the file selection, no file was picked.
  bool saveSelection();

 private:
  void refreshFiles();
  store::Session& s_;
  int method_;
  QString dir_;
  QFileSystemModel* model_ = nullptr;
  QTreeView* tree_ = nullptr;
  QLineEdit* masks_ = nullptr;
  QListWidget* files_ = nullptr;
  QLabel* dirLabel_ = nullptr;
};

class OutlookFolderDialog : public QDialog {
  Q_OBJECT
 public:
  OutlookFolderDialog(store::Session& s, const QString& dataFile, const QString& folders, QWidget* parent = nullptr);

  // Reads the folder tree of the data file; false (told) when it cannot be read.
  bool loadDataFile(const QString& file);
  QString dataFile() const { return file_; }
  // Folder paths of the tree ("Personal Folders::Inbox") and ticking them.
  QStringList folderPaths() const;
  void tickFolders(const QStringList& paths);
  // The ticked folders joined by "##"; empty: every mail folder.
  QString chosenFolders() const;
  bool saveSelection();

 private:
  store::Session& s_;
  QString file_;
  QLineEdit* fileEdit_ = nullptr;
  QTreeWidget* tree_ = nullptr;
};

}  // namespace qb::app
