#include "app/export_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/browse/browse_context.h"
#include "archive/config.h"
#include "export/export_formats.h"
#include "export/message_set.h"
#include "text/datetime.h"
#include "text/strings.h"

namespace qb::app {

using namespace qb::exporting;
using store::Session;

namespace {

// Messages per timer tick: enough to be quick, few enough that the window
// answers the abort button at once.
constexpr int kPerTick = 50;

int32_t dayOf(const QDate& d) { return text::dayNumber(d.year(), d.month(), d.day()); }

QString u8(const std::string& s) { return QString::fromStdString(s); }

void tellRefusal(Session& s, const Refusal& r, const std::string& error) {
  if (!r.text.empty()) s.tell(r.text, r.title.empty() ? "Export" : r.title);
  else if (!error.empty()) s.tell(error, "Export");
}

}  // namespace

QString ExportWindow::windowNameOf(Use use) {
  switch (use) {
    case UseExport: return "ExportProc";
    case UsePrint: return "PrintProc";
    case UseClassify: return "ClassifyProc";
    default: return "StatusProc";
  }
}

ToolWindow* ExportWindow::open(MainFrame& frame, Use use) {
  if (QWidget* w = frame.registry().get(windowNameOf(use))) {
    post(w, NoteToFront);
    return qobject_cast<ToolWindow*>(w);
  }
  if (!frame.session().ForumNumber) return nullptr;
  auto* w = new ExportWindow(frame, use);
  frame.addChild(w, QSize(560, 620));
  return w;
}

ExportWindow::ExportWindow(MainFrame& frame, Use use)
    : ToolWindow(frame, windowNameOf(use), kFindGroup, 0), use_(use), mail_(frame.session().ForumType == store::KindMail) {
  static const char* const titles[] = {"Export messages", "Print messages", "Classify Messages", "Set Message Status"};
  setWindowTitle(titles[use]);
  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &ExportWindow::tick);
  topics_ = topicList(session());
  buildUi();
}

ExportWindow::~ExportWindow() = default;

void ExportWindow::buildUi() {
  auto* lay = new QVBoxLayout(this);
  static const char* const captions[] = {" Export all messages related to the current:",
                                         " Print all messages related to the current:",
                                         " Classify all messages related to the current:",
                                         " Recode all messages related to the current:"};
  scopeBox_ = new QGroupBox(captions[use_], this);
  scopes_ = new QButtonGroup(this);
  new QFormLayout(scopeBox_);
  lay->addWidget(scopeBox_);
  fillScopes();

  if (use_ == UseExport) {
    auto* box = new QGroupBox(" Output format and files ", this);
    auto* f = new QFormLayout(box);
    format_ = new QComboBox(box);
    for (const auto& c : formatList(session().ForumType)) format_->addItem(c.name, c.number);
    f->addRow("Format:", format_);
    newFile_ = new QRadioButton(" Copy messages to new file ", box);
    append_ = new QRadioButton(" Append messages to existing file ", box);
    newFile_->setToolTip("Copy messages to new file");
    append_->setToolTip("Append messages to existing file");
    newFile_->setChecked(true);
    f->addRow(newFile_);
    f->addRow(append_);
    f->addRow(new QLabel(" Name of file in \\TEMP directory ", box));
    inbox_ = new QLineEdit(box);
    outbox_ = new QLineEdit(box);
    inbox_->setMaxLength(40);
    outbox_->setMaxLength(40);
    f->addRow("Inbox:", inbox_);
    outboxLabel_ = new QLabel("Outbox:", box);
    f->addRow(outboxLabel_, outbox_);
    lay->addWidget(box);

    auto* dos = new QGroupBox(" DOS output mode ", this);
    auto* d = new QHBoxLayout(dos);
    hardCrs_ = new QRadioButton("Use hard CRs", dos);
    hardCrs_->setToolTip("Copy text lines with hard carriage returns");
    wrap_ = new QRadioButton("Text wrap", dos);
    wrap_->setToolTip("Copy text lines to specified text length");
    column_ = new QSpinBox(dos);
    column_->setRange(20, 250);
    d->addWidget(hardCrs_);
    d->addWidget(wrap_);
    d->addWidget(new QLabel("column", dos));
    d->addWidget(column_);
    lay->addWidget(dos);
    const int32_t col = store::setting(session(), store::SetWrapColumn);
    column_->setValue(col > 0 ? col : 78);
    (store::setting(session(), store::SetWrapMode) == 1 ? wrap_ : hardCrs_)->setChecked(true);

    const int code = mail_ ? store::SetExportMail
                           : session().ForumType == store::KindNewsgroup ? store::SetExportNews : store::SetExportForum;
    const int idx = format_->findData(store::setting(session(), code));
    if (idx >= 0) format_->setCurrentIndex(idx);
    connect(format_, &QComboBox::currentIndexChanged, this, &ExportWindow::formatChanged);
    formatChanged();
  }
  if (use_ == UseClassify) {
    auto* box = new QGroupBox(" Topic ", this);
    auto* f = new QFormLayout(box);
    attach_ = new QRadioButton(" Attach topic ", box);
    remove_ = new QRadioButton(" Remove topic ", box);
    attach_->setChecked(true);
    topic_ = new QComboBox(box);
    topic_->addItem("");
    for (const auto& t : topics_) topic_->addItem(u8(t.name), t.id);
    f->addRow(attach_);
    f->addRow(remove_);
    f->addRow(" Topic ", topic_);
    lay->addWidget(box);
  }
  if (use_ == UseStatus) {
    auto* box = new QGroupBox(" Status ", this);
    auto* v = new QVBoxLayout(box);
    status_ = new QButtonGroup(this);
    const char* const names[] = {" Normal status ", " Keep status ", " Delete status "};
    for (int i = 0; i < 3; ++i) {
      auto* b = new QRadioButton(names[i], box);
      status_->addButton(b, i);
      v->addWidget(b);
    }
    status_->button(0)->setChecked(true);
    lay->addWidget(box);
  }
  auto* dates = new QGroupBox(" Date range filter ", this);
  auto* df = new QFormLayout(dates);
  dateFilter_ = new QCheckBox(" Process messages in date range only", dates);
  from_ = new QDateEdit(QDate::currentDate().addYears(-1), dates);
  to_ = new QDateEdit(QDate::currentDate(), dates);
  from_->setDisplayFormat("yyyy-MM-dd");
  to_->setDisplayFormat("yyyy-MM-dd");
  df->addRow(dateFilter_);
  df->addRow("From:", from_);
  df->addRow("To:", to_);
  lay->addWidget(dates);

  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  state_ = new QLabel(this);
  lay->addWidget(progress_);
  lay->addWidget(state_);
  auto* buttons = new QHBoxLayout;
  start_ = new QPushButton("&Start", this);
  abort_ = new QPushButton("Abort", this);
  auto* close = new QPushButton("&Close", this);
  abort_->setEnabled(false);
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(abort_);
  buttons->addWidget(close);
  lay->addLayout(buttons);
  lay->addStretch();
  connect(start_, &QPushButton::clicked, this, [this] { start(); });
  connect(abort_, &QPushButton::clicked, this, [this] { abort(); });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });
}

void ExportWindow::fillScopes() {
  Session& s = session();
  const CurrentValues v = currentValues(s);
  const char* dbName = mail_ ? " Mail database" : s.ForumType == store::KindNewsgroup ? " NewsGroup" : " Forum";
  struct Choice {
    const char* name;
    int scope;
    std::string value;
  };
  std::vector<Choice> choices{{" Message", ScopeMessage, v.message ? std::to_string(v.message) : ""},
                              {" Sender", ScopeSender, v.sender},
                              {" Receiver", ScopeReceiver, v.receiver}};
  if (mail_) {
    choices.push_back({" Mail Partner", ScopePartner, v.partner});
  } else {
    choices.push_back({" Thread", ScopeThread, v.thread});
    choices.push_back({" Section", ScopeSection, v.section});
  }
  choices.push_back({dbName, ScopeDatabase, v.database});
  choices.push_back({" KeyWord", ScopeKeyWord, v.keyword});
  choices.push_back({" Topic", ScopeTopic, v.topic});
  choices.push_back({" Search result", ScopeSearch, ""});
  auto* form = static_cast<QFormLayout*>(scopeBox_->layout());
  for (const auto& c : choices) {
    auto* b = new QRadioButton(c.name, scopeBox_);
    scopes_->addButton(b, c.scope);
    auto* value = new QLabel(u8(c.value), scopeBox_);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(b, value);
    if (c.scope == ScopeKeyWord && !indexedSets()) b->setEnabled(false);
    if (c.scope == ScopeSearch && !v.searchResult) b->setEnabled(false);
    if (c.scope != ScopeDatabase && c.scope != ScopeSearch && c.value.empty()) b->setEnabled(false);
  }
  chooseScope(ScopeDatabase);
}

void ExportWindow::formatChanged() {
  if (!format_) return;
  const int f = format_->currentData().toInt();
  std::string in, out;
  defaultFileNames(session().ForumType, f, text::trim(session().Description), in, out);
  inbox_->setText(u8(in));
  outbox_->setText(u8(out));
  const bool two = writesTwoFiles(session().ForumType, f);
  outbox_->setVisible(two);
  outboxLabel_->setVisible(two);
}

void ExportWindow::chooseScope(int scope) {
  if (auto* b = scopes_->button(scope)) b->setChecked(true);
}
int ExportWindow::scope() const { return scopes_->checkedId(); }
void ExportWindow::chooseFormat(const QString& name) {
  if (format_) format_->setCurrentIndex(format_->findText(name));
}
void ExportWindow::setFileNames(const QString& inbox, const QString& outbox) {
  if (inbox_) inbox_->setText(inbox);
  if (outbox_) outbox_->setText(outbox);
}
void ExportWindow::setWrap(bool wrap, int column) {
  if (!wrap_) return;
  (wrap ? wrap_ : hardCrs_)->setChecked(true);
  column_->setValue(column);
}
void ExportWindow::setDateRange(bool on, const QDate& from, const QDate& to) {
  dateFilter_->setChecked(on);
  from_->setDate(from);
  to_->setDate(to);
}
void ExportWindow::setAppend(bool append) {
  if (append_) (append ? append_ : newFile_)->setChecked(true);
}
void ExportWindow::chooseTopic(const QString& name, bool remove) {
  if (!topic_) return;
  topic_->setCurrentIndex(std::max(0, topic_->findText(name)));
  (remove ? remove_ : attach_)->setChecked(true);
}
void ExportWindow::chooseStatus(int status) {
  if (status_ && status_->button(status)) status_->button(status)->setChecked(true);
}
bool ExportWindow::outboxShown() const { return outbox_ && !outbox_->isHidden(); }
bool ExportWindow::running() const { return timer_->isActive(); }
QString ExportWindow::statusText() const { return state_->text(); }

ExportRequest ExportWindow::request() const {
  ExportRequest r;
  r.scope = scopes_->checkedId();
  switch (use_) {
    case UseExport:
      r.operation = append_->isChecked() ? OpExportAppend : OpExportNew;
      r.format = format_->currentData().toInt();
      r.inbox = inbox_->text().toStdString();
      r.outbox = outbox_->text().toStdString();
      r.wrapMode = wrap_->isChecked() ? 1 : 0;
      r.wrapColumn = column_->value();
      break;
    case UsePrint: r.operation = OpPrint; break;
    case UseClassify:
      r.operation = remove_->isChecked() ? OpRemoveTopic : OpAttachTopic;
      r.topicId = topic_->currentData().toUInt();
      break;
    case UseStatus: r.operation = OpStatusNormal + status_->checkedId(); break;
  }
  r.dateFilter = dateFilter_->isChecked();
  if (r.dateFilter) {
    r.fromDate = dayOf(from_->date());
    r.toDate = dayOf(to_->date());
  }
  return r;
}

void ExportWindow::setBusy(bool busy) {
  start_->setEnabled(!busy);
  abort_->setEnabled(busy);
  if (busy) timer_->start();
  else timer_->stop();
}

bool ExportWindow::start() {
  if (running()) return false;
  run_ = std::make_unique<CopyMsg>(session(), request());
  boxes_.clear();
  toc_.reset();
  if (!run_->start()) {
    tellRefusal(session(), run_->refusal(), run_->error());
    state_->setText(u8(run_->error()));
    run_.reset();
    return false;
  }
  progress_->setRange(0, run_->total() ? static_cast<int>(std::min<uint32_t>(run_->total(), 32767)) : 0);
  progress_->setValue(0);
  state_->setText(u8(run_->progressText()));
  setBusy(true);
  return true;
}

void ExportWindow::abort() {
  if (run_) run_->abort();
}

void ExportWindow::tick() {
  if (toc_) {
    for (int i = 0; i < kPerTick; ++i)
      if (!toc_->step()) {
        if (!toc_->finish() && !toc_->error().empty()) session().tell(toc_->error(), "Table of contents");
        toc_.reset();
        nextToc();
        return;
      }
    return;
  }
  if (!run_) return setBusy(false);
  for (int i = 0; i < kPerTick; ++i) {
    if (!run_->step()) {
      finishRun();
      return;
    }
  }
  if (run_->total()) {
    const uint32_t max = static_cast<uint32_t>(progress_->maximum());
    progress_->setValue(static_cast<int>(uint64_t(run_->read()) * max / run_->total()));
  }
  state_->setText(u8(run_->progressText()) + QString("  %1").arg(run_->processed()));
}

void ExportWindow::finishRun() {
  const bool ok = run_->finish();
  if (!ok) {
    setBusy(false);
    session().tell(run_->error() + "\r\nNothing was exported.", "Export");
    state_->setText(u8(run_->error()));
    return;
  }
  state_->setText(u8(run_->finalText()) + QString("  (%1)").arg(run_->processed()));
  if (use_ == UsePrint) {
    lastPrint_ = QString::fromStdString(run_->printText());
    setBusy(false);
    if (QGuiApplication::platformName() != "offscreen" && !lastPrint_.isEmpty()) {
      QPrinter printer;
      QPrintDialog dialog(&printer, this);
      if (dialog.exec() == QDialog::Accepted) {
        QTextDocument doc;
        doc.setPlainText(lastPrint_);
        doc.print(&printer);
      }
    }
    return;
  }
  if (use_ == UseExport && run_->request().format == FormatEudora && !run_->aborted()) {
    boxes_ = run_->written();
    nextToc();
    return;
  }
  setBusy(false);
  // topics and status changed: the browse redraws its rows
  if (use_ != UseExport) post(frame_.registry().get(mail_ ? "BrowseMail" : "BrowseMsgNmbr"), NoteReloadKeep);
}

void ExportWindow::nextToc() {
  while (!boxes_.empty()) {
    WrittenBox b = boxes_.front();
    boxes_.erase(boxes_.begin());
    toc_ = std::make_unique<CreateTOC>(b.path, b.boxKind, b.starts, b.appendedFrom);
    if (toc_->start()) {
      state_->setText("Creating the table of contents ... please wait!");
      return;
    }
    if (!toc_->error().empty()) session().tell(toc_->error(), "Table of contents");
    toc_.reset();
  }
  setBusy(false);
  state_->setText(u8(run_->finalText()) + QString("  (%1)").arg(run_->processed()));
}

bool ExportWindow::printTo(const QString& pdfPath) {
  if (lastPrint_.isEmpty()) return false;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdfPath);
  QTextDocument doc;
  doc.setDefaultFont(QFont("Monospace", 9));
  doc.setPlainText(lastPrint_);
  doc.print(&printer);
  return true;
}

void ExportWindow::notify(int code, int arg) {}

void ExportWindow::closing() {
  timer_->stop();
  if (toc_) toc_->finish();
  if (run_) {
    run_->abort();
    run_->finish();
  }
}

// ---- address export ---------------------------------------------------------------

ToolWindow* AddressExportWindow::open(MainFrame& frame) {
  if (!frame.session().ForumNumber) return nullptr;
  auto* w = new AddressExportWindow(frame);
  frame.addChild(w, QSize(460, 480));
  return w;
}

AddressExportWindow::AddressExportWindow(MainFrame& frame) : ToolWindow(frame, "AddressExport", kFindGroup, 0) {
  setWindowTitle(" Export Address Book");
  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &AddressExportWindow::tick);
  topics_ = topicList(session());
  auto* lay = new QVBoxLayout(this);
  auto* top = new QFormLayout;
  format_ = new QComboBox(this);
  for (const auto& c : addressFormatList(session().ForumType)) format_->addItem(c.name, c.number);
  top->addRow(" Output address book format", format_);
  file_ = new QLineEdit(this);
  file_->setMaxLength(40);
  file_->setPlaceholderText("Address.Txt");
  top->addRow(" Address book file name in \\TEMP directory ", file_);
  lay->addLayout(top);
  auto* tb = new QGroupBox(" Topic filter ", this);
  auto* tf = new QFormLayout(tb);
  topicFilter_ = new QCheckBox(" Process messages classified with selected topic only", tb);
  topic_ = new QComboBox(tb);
  for (const auto& t : topics_) topic_->addItem(u8(t.name), t.id);
  tf->addRow(topicFilter_);
  tf->addRow("Topic:", topic_);
  lay->addWidget(tb);
  auto* db = new QGroupBox(" Date range filter ", this);
  auto* dfl = new QFormLayout(db);
  dateFilter_ = new QCheckBox(" Process messages in date range only", db);
  from_ = new QDateEdit(QDate::currentDate().addYears(-1), db);
  to_ = new QDateEdit(QDate::currentDate(), db);
  from_->setDisplayFormat("yyyy-MM-dd");
  to_->setDisplayFormat("yyyy-MM-dd");
  dfl->addRow(dateFilter_);
  dfl->addRow("From:", from_);
  dfl->addRow("To:", to_);
  lay->addWidget(db);
  auto* ib = new QGroupBox(" Instructions ", this);
  auto* il = new QVBoxLayout(ib);
  auto* help = new QLabel(
      "Writes the persons of this database as an address book of the chosen program into the temporary "
      "directory. With a filter, only the senders and receivers of the messages under the topic or within "
      "the dates are written. Persons without an address are left out.",
      ib);
  help->setWordWrap(true);
  il->addWidget(help);
  lay->addWidget(ib);
  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  state_ = new QLabel(this);
  lay->addWidget(progress_);
  lay->addWidget(state_);
  auto* buttons = new QHBoxLayout;
  start_ = new QPushButton("&Start", this);
  abort_ = new QPushButton("Abort", this);
  abort_->setEnabled(false);
  auto* close = new QPushButton("&Close", this);
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(abort_);
  buttons->addWidget(close);
  lay->addLayout(buttons);
  connect(start_, &QPushButton::clicked, this, [this] { start(); });
  connect(abort_, &QPushButton::clicked, this, [this] { abort(); });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });
  connect(format_, &QComboBox::currentIndexChanged, this, [this] {
    file_->setPlaceholderText(format_->currentData().toInt() == AddressOzWin ? "Address.Ab" : "Address.Txt");
  });
}

AddressExportWindow::~AddressExportWindow() {
  if (run_) run_->finish();
}

void AddressExportWindow::chooseFormat(const QString& name) { format_->setCurrentIndex(format_->findText(name)); }
void AddressExportWindow::setFileName(const QString& name) { file_->setText(name); }
void AddressExportWindow::setTopicFilter(bool on, const QString& topic) {
  topicFilter_->setChecked(on);
  topic_->setCurrentIndex(topic_->findText(topic));
}
void AddressExportWindow::setDateRange(bool on, const QDate& from, const QDate& to) {
  dateFilter_->setChecked(on);
  from_->setDate(from);
  to_->setDate(to);
}
bool AddressExportWindow::running() const { return timer_->isActive(); }
QString AddressExportWindow::statusText() const { return state_->text(); }
void AddressExportWindow::abort() {
  if (run_) run_->abort();
}

bool AddressExportWindow::start() {
  if (running()) return false;
  AddressRequest r;
  r.format = format_->currentData().toInt();
  r.fileName = file_->text().toStdString();
  r.topicFilter = topicFilter_->isChecked();
  r.topicId = topic_->currentData().toUInt();
  r.dateFilter = dateFilter_->isChecked();
  if (r.dateFilter) {
    r.fromDate = dayOf(from_->date());
    r.toDate = dayOf(to_->date());
  }
  run_ = std::make_unique<CopyAddress>(session(), r);
  if (!run_->start()) {
    tellRefusal(session(), run_->refusal(), run_->error());
    state_->setText(u8(run_->error()));
    run_->finish();
    run_.reset();
    return false;
  }
  progress_->setRange(0, static_cast<int>(std::min<uint32_t>(std::max<uint32_t>(run_->total(), 1), 32767)));
  progress_->setValue(0);
  state_->setText(" Address export");
  start_->setEnabled(false);
  abort_->setEnabled(true);
  timer_->start();
  return true;
}

void AddressExportWindow::tick() {
  for (int i = 0; i < kPerTick; ++i)
    if (!run_->step()) return finishRun(run_->aborted());
  if (run_->total())
    progress_->setValue(static_cast<int>(uint64_t(run_->done()) * uint32_t(progress_->maximum()) / run_->total()));
}

void AddressExportWindow::finishRun(bool aborted) {
  timer_->stop();
  start_->setEnabled(true);
  abort_->setEnabled(false);
  const bool ok = run_->finish();
  const Refusal m = run_->finalMessage();
  if (!ok) {
    session().tell(run_->error(), " Address export");
    state_->setText(u8(run_->error()));
  } else {
    session().tell(m.text, m.title, aborted ? Icon::Exclamation : Icon::Information);
    state_->setText(u8(m.text));
  }
  run_.reset();
}

}  // namespace qb::app
