#include "app/selection_dialogs.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "archive/session.h"
#include "import/file_list.h"
#include "import/formats/outlook/pst_source.h"
#include "import/outlook_texts.h"

namespace qb::app {

namespace {

const char* const kTitles[] = {"Directory Tree Selection Dialog", "Directory Selection Dialog",
                               "File Selection Dialog"};

QDialogButtonBox* saveButtons(QDialog* d) {
  auto* box = new QDialogButtonBox(d);
  box->addButton("Save selection", QDialogButtonBox::AcceptRole);
  box->addButton("Exit without saving", QDialogButtonBox::RejectRole);
  return box;
}

}  // namespace

// ---- files and directories ---------------------------------------------------

FileSelectionDialog::FileSelectionDialog(store::Session& s, int method, const QString& directory,
                                         const QString& masks, QWidget* parent)
    : QDialog(parent), s_(s), method_(method < 0 || method > 2 ? 1 : method) {
  setWindowTitle(kTitles[method_]);
  auto* lay = new QVBoxLayout(this);
  auto* split = new QSplitter(this);
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QDir::rootPath());
  tree_ = new QTreeView(split);
  tree_->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
  tree_->header()->hide();
  tree_->setToolTip("Directories of the selected drive");
  auto* right = new QWidget(split);
  auto* rl = new QVBoxLayout(right);
  rl->setContentsMargins(0, 0, 0, 0);
  dirLabel_ = new QLabel(right);
  dirLabel_->setWordWrap(true);
  rl->addWidget(dirLabel_);
  auto* maskRow = new QHBoxLayout;
  maskRow->addWidget(new QLabel(method_ == 0 ? "File mask(s) for the directory tree:" : "File mask(s):", right));
  masks_ = new QLineEdit(masks, right);
  masks_->setToolTip("File masks separated by \";\", for example *.MBX;*.TXT");
  maskRow->addWidget(masks_, 1);
  rl->addLayout(maskRow);
  files_ = new QListWidget(right);
  files_->setSelectionMode(method_ == 2 ? QAbstractItemView::ExtendedSelection : QAbstractItemView::NoSelection);
  files_->setToolTip(method_ == 2 ? "Pick the files to import" : "The files of the directory that match the masks");
  rl->addWidget(files_, 1);
  split->setStretchFactor(1, 1);
  lay->addWidget(split, 1);
  auto* box = saveButtons(this);
  connect(box, &QDialogButtonBox::accepted, this, [this] {
    if (saveSelection()) accept();
  });
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  lay->addWidget(box);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& i) {
    if (i.isValid()) {
      dir_ = model_->filePath(i);
      refreshFiles();
    }
  });
  connect(masks_, &QLineEdit::textChanged, this, [this] { refreshFiles(); });
  resize(720, 460);
  setDirectory(directory.isEmpty() ? QDir::homePath() : directory);
}

void FileSelectionDialog::setDirectory(const QString& dir) {
  dir_ = QDir(dir).absolutePath();
  const QModelIndex i = model_->index(dir_);
  if (i.isValid()) {
    const QSignalBlocker block(tree_->selectionModel());
    tree_->setCurrentIndex(i);
    tree_->scrollTo(i);
  }
  refreshFiles();
}

void FileSelectionDialog::setMasks(const QString& masks) { masks_->setText(masks); }

QString FileSelectionDialog::masks() const { return masks_->text().trimmed(); }

void FileSelectionDialog::refreshFiles() {
  dirLabel_->setText((method_ == 0 ? "Directory tree: " : "Directory: ") + dir_);
  files_->clear();
  const std::string m = masks().toStdString();
  if (m.empty()) return;
  for (const std::string& f : import::matchingFiles(dir_.toStdString(), m))
    files_->addItem(QFileInfo(QString::fromStdString(f)).fileName());
}

QStringList FileSelectionDialog::listedFiles() const {
  QStringList out;
  for (int i = 0; i < files_->count(); ++i) out << files_->item(i)->text();
  return out;
}

void FileSelectionDialog::pickFiles(const QStringList& names) {
  for (int i = 0; i < files_->count(); ++i) files_->item(i)->setSelected(names.contains(files_->item(i)->text()));
}

QStringList FileSelectionDialog::pickedFiles() const {
  QStringList out;
  for (int i = 0; i < files_->count(); ++i)
    if (files_->item(i)->isSelected()) out << QDir(dir_).filePath(files_->item(i)->text());
  return out;
}

bool FileSelectionDialog::saveSelection() {
  if (masks().isEmpty()) {
    s_.tell("No file extension(s) specified", "Warning!");
    return false;
  }
  if (method_ == 2 && pickedFiles().isEmpty()) {
    s_.tell("No file(s) selected", "Warning!");
    return false;
  }
  return true;
}

// ---- Outlook folders -----------------------------------------------------------

OutlookFolderDialog::OutlookFolderDialog(store::Session& s, const QString& dataFile, const QString& folders,
                                         QWidget* parent)
    : QDialog(parent), s_(s) {
  setWindowTitle("Outlook Folder Selection");
  auto* lay = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel("Outlook data file:", this));
  fileEdit_ = new QLineEdit(dataFile, this);
  fileEdit_->setReadOnly(true);
  row->addWidget(fileEdit_, 1);
  auto* browse = new QPushButton("&Browse...", this);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, "Outlook data file", QFileInfo(file_).path(),
                                                   "Outlook data files (*.pst *.ost *.PST *.OST);;All files (*)");
    if (!f.isEmpty()) loadDataFile(f);
  });
  row->addWidget(browse);
  lay->addLayout(row);
  lay->addWidget(new QLabel("Tick the folders to import (none ticked: every mail folder):", this));
  tree_ = new QTreeWidget(this);
  tree_->setHeaderLabels({"Folder", "Items"});
  lay->addWidget(tree_, 1);
  auto* box = saveButtons(this);
  connect(box, &QDialogButtonBox::accepted, this, [this] {
    if (saveSelection()) accept();
  });
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  lay->addWidget(box);
  resize(560, 420);
  if (!dataFile.isEmpty() && loadDataFile(dataFile) && !folders.isEmpty())
    tickFolders(folders.split("##", Qt::SkipEmptyParts));
}

bool OutlookFolderDialog::loadDataFile(const QString& file) {
  import::outlook::OpenError error;
  auto source = import::outlook::openPstFile(file.toStdString(), error);
  if (!source) {
    s_.tell(std::string(error.unreadable ? import::outlook::kNotInitialized : import::outlook::kCannotRun) + "\r\n" +
                file.toStdString() + "\r\n" + error.reason,
            import::outlook::kNotInstalled);
    return false;
  }
  file_ = file;
  fileEdit_->setText(file);
  tree_->clear();
  QList<QTreeWidgetItem*> parents;
  for (const auto& f : source->folders()) {
    while (parents.size() > f.depth) parents.removeLast();
    auto* item = parents.isEmpty() ? new QTreeWidgetItem(tree_) : new QTreeWidgetItem(parents.last());
    item->setText(0, QString::fromStdString(f.name));
    item->setText(1, QString::number(f.items));
    item->setData(0, Qt::UserRole, QString::fromStdString(f.path));
    if (f.mail) {
      item->setCheckState(0, Qt::Unchecked);
    } else {
      item->setDisabled(true);
      item->setToolTip(0, "No mail folder");
    }
    parents.append(item);
  }
  tree_->expandAll();
  tree_->resizeColumnToContents(0);
  return true;
}

QStringList OutlookFolderDialog::folderPaths() const {
  QStringList out;
  for (QTreeWidgetItemIterator it(tree_); *it; ++it) out << (*it)->data(0, Qt::UserRole).toString();
  return out;
}

void OutlookFolderDialog::tickFolders(const QStringList& paths) {
  for (QTreeWidgetItemIterator it(tree_); *it; ++it)
    if (!(*it)->isDisabled())
      (*it)->setCheckState(0, paths.contains((*it)->data(0, Qt::UserRole).toString()) ? Qt::Checked : Qt::Unchecked);
}

QString OutlookFolderDialog::chosenFolders() const {
  QStringList out;
  for (QTreeWidgetItemIterator it(tree_); *it; ++it)
    if (!(*it)->isDisabled() && (*it)->checkState(0) == Qt::Checked) out << (*it)->data(0, Qt::UserRole).toString();
  return out.join("##");
}

bool OutlookFolderDialog::saveSelection() {
  if (file_.isEmpty()) {
    s_.tell(std::string(import::outlook::kNotInitialized) + "\r\n" + import::outlook::kNoDataFile, "Warning!");
    return false;
  }
  return true;
}

}  // namespace qb::app
