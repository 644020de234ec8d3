#include "app/topic_windows.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/browse_window.h"
#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/session.h"
#include "index/topics.h"
#include "text/datetime.h"

namespace qb::app {

using namespace qb::store;

namespace {
const char* noun(uint8_t type) { return type == index::TopicCode ? "Topic" : "Key Word"; }
}  // namespace

// ---- CodeForm -------------------------------------------------------------------

CodeForm::CodeForm(QWidget* parent, Session& s, uint8_t type, Mode mode, const Codes& code)
    : QDialog(parent), s_(s), type_(type), mode_(mode), code_(code) {
  const QString n = noun(type);
  const char* captions[] = {" Add New ", " Update ", " Delete "};
  const char* accepts[] = {" Accept new ", " Accept updated ", " Confirm deletion of "};
  setWindowTitle(captions[mode] + n);
  auto* lay = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  text_ = new QLineEdit(shown(code.INDEX.str()), this);
  text_->setMaxLength(40);
  text_->setReadOnly(mode == Delete);
  form->addRow(type == index::TopicCode ? "Topic" : "Search string", text_);
  case_ = new QCheckBox("Match case", this);
  word_ = new QCheckBox("Match word", this);
  case_->setChecked(code.CHARCASE);
  word_->setChecked(code.WORDONLY);
  case_->setEnabled(mode != Delete);
  word_->setEnabled(mode != Delete);
  if (type == index::KeyWordCode) {
    form->addRow(case_);
    form->addRow(word_);
  } else {
    case_->hide();
    word_->hide();
  }
  lay->addLayout(form);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(accepts[mode] + n, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &CodeForm::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  lay->addWidget(buttons);
}

void CodeForm::accept() {
  const std::string text = text_->text().trimmed().toStdString();
  bool ok = false;
  switch (mode_) {
    case Add:
      if (text.empty()) return;
      ok = index::addCode(s_, type_, text, case_->isChecked(), word_->isChecked()) != 0;
      break;
    case Change:
      if (text.empty()) return;
      ok = index::changeCode(s_, type_, code_.ID, text, case_->isChecked(), word_->isChecked());
      break;
    case Delete: ok = index::deleteCode(s_, type_, code_.ID); break;
  }
  if (ok) QDialog::accept();
}

// ---- CodeListWindow -----------------------------------------------------------------

ToolWindow* CodeListWindow::open(MainFrame& frame) {
  auto* w = new CodeListWindow(frame);
  frame.addChild(w, QSize(520, 360));
  return w;
}

CodeListWindow::CodeListWindow(MainFrame& frame) : ToolWindow(frame, "BrowseTopics", kNotToolsGroup, PlaceTopics) {
  auto* lay = new QVBoxLayout(this);
  tabs_ = new QTabBar(this);
  tabs_->addTab("&Topics");
  tabs_->addTab("&Key Words");
  connect(tabs_, &QTabBar::currentChanged, this, [this](int i) { setType(i == 0 ? index::TopicCode : index::KeyWordCode); });
  lay->addWidget(tabs_);
  table_ = new QTableWidget(this);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { edit(CodeForm::Change); });
  lay->addWidget(table_, 1);
  auto* row = new QHBoxLayout;
  auto* insert = new QPushButton("&Insert", this);
  auto* change = new QPushButton("&Change", this);
  auto* del = new QPushButton("&Delete", this);
  auto* apply = new QPushButton("&Apply Key Words", this);
  apply->setToolTip("Look for the key words in the message texts and file the messages under them");
  apply_ = apply;
  connect(insert, &QPushButton::clicked, this, [this] { edit(CodeForm::Add); });
  connect(change, &QPushButton::clicked, this, [this] { edit(CodeForm::Change); });
  connect(del, &QPushButton::clicked, this, [this] { edit(CodeForm::Delete); });
  connect(apply, &QPushButton::clicked, this, [this] { applyKeyWords(); });
  row->addWidget(insert);
  row->addWidget(change);
  row->addWidget(del);
  row->addStretch();
  row->addWidget(apply);
  lay->addLayout(row);
  setType(index::TopicCode);
}

void CodeListWindow::setType(uint8_t type) {
  type_ = type;
  tabs_->setCurrentIndex(type == index::TopicCode ? 0 : 1);
  const QString t = type == index::TopicCode ? " List of Topics" : " List of Key Words";
  setWindowTitle(t);
  if (parentWidget()) parentWidget()->setWindowTitle(t);
  apply_->setVisible(type == index::KeyWordCode);
  refresh();
}

void CodeListWindow::refresh() {
  const auto codes = index::listCodes(session(), type_);
  const bool kw = type_ == index::KeyWordCode;
  table_->clear();
  table_->setColumnCount(kw ? 5 : 2);
  table_->setHorizontalHeaderLabels(kw ? QStringList{"Search string", "Indexes", "Match case", "Match word", "Updated"}
                                       : QStringList{"Topic", "Indexes"});
  table_->setRowCount(static_cast<int>(codes.size()));
  for (int r = 0; r < static_cast<int>(codes.size()); ++r) {
    const Codes& c = codes[static_cast<std::size_t>(r)];
    auto* name = new QTableWidgetItem(shown(c.INDEX.str()));
    name->setData(Qt::UserRole, QVariant::fromValue<uint>(c.ID));
    table_->setItem(r, 0, name);
    table_->setItem(r, 1, new QTableWidgetItem(QString::number(c.COUNT)));
    if (kw) {
      table_->setItem(r, 2, new QTableWidgetItem(c.CHARCASE ? "yes" : "no"));
      table_->setItem(r, 3, new QTableWidgetItem(c.WORDONLY ? "yes" : "no"));
      table_->setItem(r, 4, new QTableWidgetItem(QString::fromStdString(text::formatDate(c.DATE))));
    }
  }
  if (!codes.empty()) table_->selectRow(0);
}

void CodeListWindow::edit(CodeForm::Mode mode) {
  Codes code;
  if (mode != CodeForm::Add) {
    const int r = table_->currentRow();
    if (r < 0) return;
    const uint32_t id = table_->item(r, 0)->data(Qt::UserRole).toUInt();
    for (const Codes& c : index::listCodes(session(), type_))
      if (c.ID == id) code = c;
    if (code.ID == 0) return;
  }
  CodeForm form(this, session(), type_, mode, code);
  if (form.exec() == QDialog::Accepted) {
    refresh();
    post(frame_.registry().get("Classify"), NoteReloadList);
  }
}

void CodeListWindow::applyKeyWords() {
  index::KeywordRun run(session());
  if (!run.start()) {
    session().tell(run.message(), " List of Key Words");
    return;
  }
  QProgressDialog progress("Applying key words", "Cancel", 0, 1000, this);
  progress.setWindowModality(Qt::WindowModal);
  while (run.step()) {
    if (run.total() > 0) progress.setValue(static_cast<int>(run.doneCount() * 1000 / run.total()));
    if (progress.wasCanceled()) break;
  }
  refresh();
}

void CodeListWindow::notify(int code, int) {
  if (code == NoteReloadList) refresh();
}

// ---- ClassifyWindow -----------------------------------------------------------------

ToolWindow* ClassifyWindow::open(MainFrame& frame) {
  auto* w = new ClassifyWindow(frame);
  frame.addChild(w, QSize(300, 360));
  return w;
}

ClassifyWindow::ClassifyWindow(MainFrame& frame) : ToolWindow(frame, "Classify", kFindGroup, PlaceClassify) {
  setWindowTitle(" Classify");
  auto* lay = new QVBoxLayout(this);
  tree_ = new QTreeWidget(this);
  tree_->setHeaderLabel("Topics of the current message");
  lay->addWidget(tree_);
  connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* it) {
    if (filling_ || !message_) return;
    const uint32_t topic = it->data(0, Qt::UserRole).toUInt();
    const bool attached = index::toggleTopic(session(), topic, message_);
    filling_ = true;
    it->setCheckState(0, attached ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
    post(frame_.registry().get("BrowseTopics"), NoteReloadList);
  });
  // The browse's current message is followed.
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this] {
    if (currentMessage() != message_) refresh();
  });
  timer->start(400);
  refresh();
}

uint32_t ClassifyWindow::currentMessage() {
  auto* b = qobject_cast<BrowseWindow*>(frame_.registry().get("BrowseMsgNmbr"));
  if (!b) b = qobject_cast<BrowseWindow*>(frame_.registry().get("BrowseMail"));
  const ListRow* r = b ? b->current() : nullptr;
  return r ? r->id() : 0;
}

void ClassifyWindow::refresh() {
  message_ = currentMessage();
  filling_ = true;
  tree_->clear();
  if (message_) {
    for (const index::TopicState& t : index::topicsOf(session(), message_)) {
      auto* it = new QTreeWidgetItem(tree_, {shown(t.topic.INDEX.str())});
      it->setData(0, Qt::UserRole, QVariant::fromValue<uint>(t.topic.ID));
      it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
      it->setCheckState(0, t.attached ? Qt::Checked : Qt::Unchecked);
    }
  }
  filling_ = false;
}

void ClassifyWindow::notify(int code, int) {
  if (code == NoteReloadList) refresh();
}

}  // namespace qb::app
