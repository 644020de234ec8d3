#include "app/import_wizard.h"

#include <cctype>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/display_settings.h"
#include "app/gui_ui.h"
#include "app/import_run_window.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/selection_dialogs.h"
#include "app/window_registry.h"
#include "archive/browse/browse_databases.h"
#include "archive/config.h"
#include "archive/session.h"
#include "import/import_definition.h"
#include "import/import_types.h"

namespace qb::app {

namespace {

const char* const kStepTitles[] = {"Welcome to the Import Wizard!", "Import file type", "Msg types",
                                   "Preferred selection method", "", "Import options"};

const char* const kStepHelp[] = {
    "This wizard guides you through an import of messages into Quillbox: the source format, the kinds of "
    "messages and where they go, and the files to read. Tick the box below to keep your choices as a "
    "predefined import procedure that the Import Scheduler can run later.",
    "Choose the program whose message files you want to import. The file masks shown are used to find its "
    "files in a directory.",
    "Choose which kinds of messages are imported and where they go. Mail goes into a mail database (set one "
    "up with File, Mail Database Setup); forum messages whose files do not name their forum go into the "
    "forum named here.",
    "Choose how the files are found: every matching file of a directory and all directories below it, every "
    "matching file of one directory, or files picked by hand.",
    "Press Select to choose the directory or the files.",
    "Messages imported before are skipped unless re-import is allowed. Every imported mail can be filed "
    "under a topic of the mail database. Press Start to begin the import."};

const char* const kMethodNames[] = {"Directory Tree Selection", "Directory Selection", "File selection"};

}  // namespace

ToolWindow* ImportWizard::open(MainFrame& frame) {
  auto* w = new ImportWizard(frame);
  frame.addChild(w, QSize(600, 440));
  return w;
}

ImportWizard::ImportWizard(MainFrame& frame) : ToolWindow(frame, "ImportMeny", kNotToolsGroup, kPlaceImportWizard) {
  setWindowTitle("Import Wizard");
  auto* lay = new QVBoxLayout(this);
  title_ = new QLabel(this);
  QFont f = title_->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 3);
  title_->setFont(f);
  lay->addWidget(title_);
  help_ = new QLabel(this);
  help_->setWordWrap(true);
  lay->addWidget(help_);
  pages_ = new QStackedWidget(this);
  lay->addWidget(pages_, 1);
  buildPages();
  auto* row = new QHBoxLayout;
  row->addStretch();
  back_ = new QPushButton("&Back", this);
  next_ = new QPushButton("&Next", this);
  start_ = new QPushButton("S&tart", this);
  auto* cancel = new QPushButton("Cancel", this);
  connect(back_, &QPushButton::clicked, this, [this] { back(); });
  connect(next_, &QPushButton::clicked, this, [this] { next(); });
  connect(start_, &QPushButton::clicked, this, [this] { start(); });
  connect(cancel, &QPushButton::clicked, this, [this] { close(); });
  row->addWidget(back_);
  row->addWidget(next_);
  row->addWidget(start_);
  row->addWidget(cancel);
  lay->addLayout(row);
  applyDisplayLook(session(), this);
  showStep(Welcome);
}

void ImportWizard::buildPages() {
  store::Session& s = session();
  // 1. Welcome.
  auto* p1 = new QWidget(pages_);
  auto* l1 = new QVBoxLayout(p1);
  saveForScheduler_ = new QCheckBox("Save this session for use in the Import Scheduler", p1);
  l1->addStretch();
  l1->addWidget(saveForScheduler_);
  l1->addStretch();
  pages_->addWidget(p1);

  // 2. Import file type.
  auto* p2 = new QWidget(pages_);
  auto* l2 = new QVBoxLayout(p2);
  formats_ = new QListWidget(p2);
  const int preferred = store::setting(s, store::SetImportType);
  for (const import::ImportType& t : import::importTypes()) {
    if (!t.offered()) continue;
    auto* item = new QListWidgetItem(QString::fromLatin1(t.name), formats_);
    item->setData(Qt::UserRole, t.number());
    item->setToolTip(*t.defaultMask ? QString("File masks: ") + t.defaultMask : QString("Outlook folders"));
    if (!t.available()) item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    if (t.number() == preferred || (formats_->currentRow() < 0 && t.id == import::kDefaultImportType))
      formats_->setCurrentItem(item);
  }
  connect(formats_, &QListWidget::currentRowChanged, this, [this] { formatChanged(); });
  l2->addWidget(formats_);
  pages_->addWidget(p2);

  // 3. Msg types.
  auto* p3 = new QWidget(pages_);
  auto* l3 = new QFormLayout(p3);
  mail_ = new QCheckBox("Mail import to:", p3);
  mailDb_ = new QComboBox(p3);
  mailDb_->setToolTip("The mail database that receives the mail");
  const int32_t lastMail = store::setting(s, store::SetMailTarget);
  for (const auto& r : store::mailDatabaseRows(s)) {
    mailDb_->addItem(shown(r.fields.name), r.ID);
    mailDb_->setItemData(mailDb_->count() - 1, QByteArray::fromStdString(r.fields.name), Qt::UserRole + 1);
    if (static_cast<int32_t>(r.ID) == lastMail) mailDb_->setCurrentIndex(mailDb_->count() - 1);
  }
  mail_->setChecked(mailDb_->count() > 0);
  connect(mail_, &QCheckBox::toggled, this, [this] { mailChanged(); });
  connect(mailDb_, &QComboBox::currentIndexChanged, this, [this] { mailChanged(); });
  l3->addRow(mail_, mailDb_);
  forum_ = new QCheckBox("Forum message import to:", p3);
  forum_->setChecked(true);
  auto* forumRow = new QHBoxLayout;
  forumName_ = new QLineEdit(p3);
  forumName_->setPlaceholderText("Enter name of CompuServe Forum");
  forumName_->setToolTip("Enter name of CompuServe Forum");
  forumLookup_ = new QPushButton("Look up Forum name", p3);
  connect(forumLookup_, &QPushButton::clicked, this, [this] {
    bool ok = false;
    const QString name = QInputDialog::getItem(this, "Look up Forum name", "Forum:", forumNames(), 0, false, &ok);
    if (ok && !name.isEmpty()) forumName_->setText(name);
  });
  forumRow->addWidget(forumName_, 1);
  forumRow->addWidget(forumLookup_);
  l3->addRow(forum_, forumRow);
  news_ = new QCheckBox("Newsgroup message import", p3);
  news_->setChecked(true);
  l3->addRow(news_);
  auto* filterBox = new QGroupBox(p3);
  auto* fl = new QVBoxLayout(filterBox);
  allMessages_ = new QRadioButton("Import all messages", filterBox);
  createOnly_ = new QRadioButton("Import no messages (database creation only)", filterBox);
  allMessages_->setChecked(true);
  fl->addWidget(allMessages_);
  fl->addWidget(createOnly_);
  l3->addRow(filterBox);
  pages_->addWidget(p3);

  // 4. Preferred selection method.
  auto* p4 = new QWidget(pages_);
  auto* l4 = new QVBoxLayout(p4);
  methods_ = new QButtonGroup(p4);
  for (int m = 0; m < 3; ++m) {
    auto* b = new QRadioButton(kMethodNames[m], p4);
    methods_->addButton(b, m);
    l4->addWidget(b);
  }
  methods_->button(0)->setChecked(true);
  connect(methods_, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) methodChanged();
  });
  l4->addStretch();
  pages_->addWidget(p4);

  // 5. The directory or the files.
  auto* p5 = new QWidget(pages_);
  auto* l5 = new QVBoxLayout(p5);
  selectionTitle_ = new QLabel(p5);
  l5->addWidget(selectionTitle_);
  auto* dirRow = new QHBoxLayout;
  directory_ = new QLineEdit(p5);
  directory_->setReadOnly(true);
  select_ = new QPushButton("&Select", p5);
  select_->setToolTip("Open the selection dialog");
  connect(select_, &QPushButton::clicked, this, [this] { openSelection(); });
  dirRow->addWidget(directory_, 1);
  dirRow->addWidget(select_);
  l5->addLayout(dirRow);
  auto* maskRow = new QHBoxLayout;
  maskRow->addWidget(new QLabel("File mask(s):", p5));
  masks_ = new QLineEdit(p5);
  masks_->setReadOnly(true);
  maskRow->addWidget(masks_, 1);
  l5->addLayout(maskRow);
  files_ = new QListWidget(p5);
  l5->addWidget(files_, 1);
  allCim_ = new QCheckBox(p5);
  l5->addWidget(allCim_);
  pages_->addWidget(p5);
  std::string importDir;
  int32_t unused = 0;
  store::Konfig(s, store::KonfigAction::GetGeneral, store::SetImportDir, unused, &importDir);
  dir_ = QString::fromStdString(importDir);

  // 6. Options.
  auto* p6 = new QWidget(pages_);
  auto* l6 = new QVBoxLayout(p6);
  reimport_ = new QCheckBox("Allow reimport", p6);
  reimport_->setToolTip("Update existing messages");
  l6->addWidget(reimport_);
  attachTopic_ = new QCheckBox("Attach a topic to all imported mail messages", p6);
  l6->addWidget(attachTopic_);
  topic_ = new QComboBox(p6);
  topic_->setEditable(true);
  topic_->setToolTip("A topic of the mail database; a new one is added");
  topic_->setEnabled(false);
  connect(attachTopic_, &QCheckBox::toggled, topic_, &QWidget::setEnabled);
  l6->addWidget(topic_);
  l6->addStretch();
  pages_->addWidget(p6);

  formatChanged();
  mailChanged();
}

int ImportWizard::step() const { return pages_->currentIndex(); }

QString ImportWizard::stepTitle() const { return title_->text(); }

void ImportWizard::showStep(int st) {
  pages_->setCurrentIndex(st);
  if (st == Selection) {
    refreshSelection();
    title_->setText(selectionTitle_->text());
  } else {
    title_->setText(kStepTitles[st]);
  }
  help_->setText(kStepHelp[st]);
  back_->setEnabled(st > Welcome);
  next_->setVisible(st < Options);
  start_->setVisible(st == Options);
  if (st == Options) start_->setDefault(true);
}

bool ImportWizard::isOutlook() const { return format() == import::importTypeName(import::ImportTypeId::OutlookMail); }

void ImportWizard::formatChanged() {
  // "Outlook Mail" reads folders of a data file chosen by hand.
  const bool outlook = isOutlook();
  for (int m = 0; m < 2; ++m) methods_->button(m)->setEnabled(!outlook);
  if (outlook) methods_->button(2)->setChecked(true);
  const QString f = format();
  allCim_->setText("Import all " + f + " files of the selected directory");
  picked_.clear();
  masks_->clear();
  refreshSelection();
}

void ImportWizard::methodChanged() {
  picked_.clear();
  refreshSelection();
}

void ImportWizard::mailChanged() {
  mailDb_->setEnabled(mail_->isChecked());
  const bool haveMail = mail_->isChecked() && mailDb_->currentIndex() >= 0;
  attachTopic_->setEnabled(haveMail);
  if (!haveMail) attachTopic_->setChecked(false);
  const QString keep = topic_->currentText();
  topic_->clear();
  if (haveMail)
    for (const auto& t : import::mailDatabaseTopics(session(), mailDb_->currentData(Qt::UserRole + 1).toByteArray().toStdString()))
      topic_->addItem(shown(t));
  topic_->setEditText(keep);
}

void ImportWizard::refreshSelection() {
  const int m = method();
  const bool outlook = isOutlook();
  selectionTitle_->setText(m == 2 ? "Import messages from file(s)" : "Directory for import files");
  if (outlook) {
    directory_->setText(outlookFile_);
    masks_->setText({});
    files_->clear();
    for (const QString& f : outlookFolders_.split("##", Qt::SkipEmptyParts)) files_->addItem(f);
    if (outlookFolders_.isEmpty() && !outlookFile_.isEmpty()) files_->addItem("(every mail folder)");
  } else {
    directory_->setText(m == 2 ? (picked_.isEmpty() ? QString() : QFileInfo(picked_.first()).path()) : dir_);
    files_->clear();
    for (const QString& f : picked_) files_->addItem(QFileInfo(f).fileName());
    files_->setVisible(m == 2);
  }
  allCim_->setVisible(allCimOffered());
  if (!allCimOffered()) allCim_->setChecked(false);
  if (step() == Selection) title_->setText(selectionTitle_->text());
}

void ImportWizard::openSelection() {
  if (isOutlook()) {
    OutlookFolderDialog dlg(session(), outlookFile_, outlookFolders_, this);
    if (dlg.exec() == QDialog::Accepted) setOutlookSelection(dlg.dataFile(), dlg.chosenFolders());
    return;
  }
  const import::ImportType* t = import::findImportType(format().toStdString());
  const QString masks = !masks_->text().isEmpty() ? masks_->text() : t ? QString::fromLatin1(t->defaultMask) : "*.*";
  const QString dir = method() == 2 && !picked_.isEmpty() ? QFileInfo(picked_.first()).path() : dir_;
  FileSelectionDialog dlg(session(), method(), dir, masks, this);
  if (dlg.exec() == QDialog::Accepted) setSelection(dlg.directory(), dlg.masks(), dlg.pickedFiles());
}

bool ImportWizard::checkStep(int st) {
  store::Session& s = session();
  switch (st) {
    case FileType:
      if (format().isEmpty()) {
        s.tell("No import file type selected", "Warning!");
        return false;
      }
      return true;
    case MsgTypes:
      if (!mail_->isChecked() && !forum_->isChecked() && !news_->isChecked()) {
        s.tell("No message type selected", "Warning!");
        return false;
      }
      if (mail_->isChecked() && mailDb_->currentIndex() < 0) {
        s.tell("No mail database selected for the mail import.\r\nSet one up with File, Mail Database Setup.",
               "Warning!");
        return false;
      }
      return true;
    case Selection: {
      // The selection goes through the import set-up's checks.
      import::ImportOrder o = order();
      o.topic.clear();
      std::string detail;
      const import::ImportProblem p = import::checkImportOrder(o, detail);
      if (p != import::ImportProblem::None) {
        const std::string text = p == import::ImportProblem::NoSelection ? "No file(s) selected"
                                                                         : import::importProblemText(p, detail);
        s.tell(text, "Warning!");
        return false;
      }
      return true;
    }
    default:
      return true;
  }
}

bool ImportWizard::next() {
  const int st = step();
  if (st >= Options || !checkStep(st)) return false;
  showStep(st + 1);
  return true;
}

void ImportWizard::back() {
  if (step() > Welcome) showStep(step() - 1);
}

ImportRunWindow* ImportWizard::start() {
  store::Session& s = session();
  for (int st = FileType; st <= Selection; ++st)
    if (!checkStep(st)) {
      showStep(st);
      return nullptr;
    }
  const import::ImportOrder o = order();
  if (saveForScheduler_->isChecked()) {
    std::string problem;
    saved_ = import::saveImportDefinition(s, o, import::kSavedFromWizard, problem);
    if (saved_ == 0) {
      s.tell("The import procedure cannot be saved: " + problem, "Import Wizard");
      return nullptr;
    }
  }
  import::PreparedImport prepared = import::prepareImport(s, o);
  if (!prepared.run) {
    std::string text = import::importProblemText(prepared.problem, prepared.detail);
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    s.tell(text, "Import Wizard");
    return nullptr;
  }
  // The mail database chosen is offered first next time.
  if (mail_->isChecked() && mailDb_->currentIndex() >= 0) {
    int32_t id = mailDb_->currentData().toInt();
    store::Konfig(s, store::KonfigAction::SetGeneral, store::SetMailTarget, id);
    store::Konfig(s, store::KonfigAction::WriteGeneral);
  }
  started_ = true;
  ImportRunWindow* w = ImportRunWindow::open(frame_, std::move(prepared.run));
  close();
  return w;
}

void ImportWizard::closing() {
  // Leaving without an import gives the frame its menus back.
  if (!started_) post(&frame_, NoteReevaluate);
}

// ---- values ----------------------------------------------------------------------

void ImportWizard::setSaveForScheduler(bool on) { saveForScheduler_->setChecked(on); }

QStringList ImportWizard::formatNames() const {
  QStringList out;
  for (int i = 0; i < formats_->count(); ++i) out << formats_->item(i)->text();
  return out;
}

bool ImportWizard::setFormat(const QString& name) {
  const auto found = formats_->findItems(name, Qt::MatchExactly);
  if (found.isEmpty() || !(found.first()->flags() & Qt::ItemIsEnabled)) return false;
  formats_->setCurrentItem(found.first());
  return true;
}

QString ImportWizard::format() const { return formats_->currentItem() ? formats_->currentItem()->text() : QString(); }

void ImportWizard::setKinds(bool mail, bool forum, bool news) {
  mail_->setChecked(mail);
  forum_->setChecked(forum);
  news_->setChecked(news);
}

QStringList ImportWizard::mailDatabaseNames() const {
  QStringList out;
  for (int i = 0; i < mailDb_->count(); ++i) out << mailDb_->itemText(i);
  return out;
}

void ImportWizard::setMailDatabase(const QString& name) {
  mailDb_->setCurrentIndex(mailDb_->findText(name));
  mailChanged();
}

QStringList ImportWizard::forumNames() const {
  QStringList out;
  for (const auto& r : store::databaseRows(const_cast<ImportWizard*>(this)->session(), store::DatabaseOrder::ByName))
    if (r.DBTYPE != store::kindName(store::KindMail)) out << shown(r.DESCRIPTION);
  return out;
}

void ImportWizard::setForumName(const QString& name) { forumName_->setText(name); }
void ImportWizard::setCreateOnly(bool on) { (on ? createOnly_ : allMessages_)->setChecked(true); }

void ImportWizard::setMethod(int m) {
  if (methodOffered(m)) methods_->button(m)->setChecked(true);
}

int ImportWizard::method() const { return methods_->checkedId() < 0 ? 1 : methods_->checkedId(); }

bool ImportWizard::methodOffered(int m) const { return m >= 0 && m <= 2 && methods_->button(m)->isEnabled(); }

void ImportWizard::setSelection(const QString& directory, const QString& masks, const QStringList& files) {
  dir_ = directory;
  masks_->setText(masks);
  picked_ = method() == 2 ? files : QStringList();
  refreshSelection();
}

bool ImportWizard::allCimOffered() const { return method() != 2 && import::isCimType(format().toStdString()); }
QString ImportWizard::allCimText() const { return allCim_->text(); }
void ImportWizard::setAllCimFiles(bool on) { allCim_->setChecked(on && allCimOffered()); }

void ImportWizard::setOutlookSelection(const QString& dataFile, const QString& folders) {
  outlookFile_ = dataFile;
  outlookFolders_ = folders;
  refreshSelection();
}

void ImportWizard::setReimport(bool on) { reimport_->setChecked(on); }

void ImportWizard::setTopic(const QString& topic) {
  attachTopic_->setChecked(!topic.isEmpty());
  topic_->setEditText(topic);
}

QStringList ImportWizard::topicNames() const {
  QStringList out;
  for (int i = 0; i < topic_->count(); ++i) out << topic_->itemText(i);
  return out;
}

import::ImportOrder ImportWizard::order() const {
  import::ImportOrder o;
  o.format = format().toStdString();
  import::ImportRequest& r = o.request;
  r.selectionMethod = method();
  if (isOutlook()) {
    r.selectionMethod = 2;
    if (!outlookFile_.isEmpty()) r.files = {outlookFile_.toStdString()};
    r.outlookFolders = outlookFolders_.toStdString();
  } else if (r.selectionMethod == 2) {
    for (const QString& f : picked_) r.files.push_back(f.toStdString());
  } else {
    r.sourcePath = dir_.toStdString();
    r.pattern = masks_->text().trimmed().toStdString();
    r.allCimFiles = allCim_->isChecked() && allCimOffered();
  }
  // Masks equal to the format's own are left to the format.
  const import::ImportType* t = import::findImportType(o.format);
  if (t && r.pattern == t->defaultMask) r.pattern.clear();
  r.kinds = (mail_->isChecked() ? import::KindMail : 0u) | (forum_->isChecked() ? import::KindForum : 0u) |
            (news_->isChecked() ? import::KindNews : 0u);
  if (mail_->isChecked() && mailDb_->currentIndex() >= 0) r.mailDatabase = mailDb_->currentData(Qt::UserRole + 1).toByteArray().toStdString();
  if (forum_->isChecked()) r.forumName = forumName_->text().trimmed().toStdString();
  r.createOnly = createOnly_->isChecked();
  r.allowReimport = reimport_->isChecked();
  if (attachTopic_->isChecked()) o.topic = topic_->currentText().trimmed().toStdString();
  return o;
}

}  // namespace qb::app
