#include "app/database_windows.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "app/icons.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "archive/browse/browse_status.h"
#include "archive/config.h"
#include "archive/session.h"
#include "version.h"

namespace qb::app {

using namespace qb::store;

namespace {

QColor statusColour(Session& s, uint8_t status) {
  const int code = status == StatusDelete ? SetDeleteColour : SetKeepColour;
  int32_t v = setting(s, code);
  if (v > 0) return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
  return status == StatusDelete ? QColor(255, 0, 0) : QColor(0, 0, 128);
}

// Home and End go to the first and the last row of a list.
class HomeEndKeys : public QObject {
 public:
  explicit HomeEndKeys(QTableWidget* t) : QObject(t), t_(t) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o != t_ || e->type() != QEvent::KeyPress || t_->rowCount() == 0) return false;
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key != Qt::Key_Home && key != Qt::Key_End) return false;
    const int r = key == Qt::Key_Home ? 0 : t_->rowCount() - 1;
    t_->setCurrentCell(r, qMax(0, t_->currentColumn()));
    t_->scrollToItem(t_->item(r, 0));
    return true;
  }

 private:
  QTableWidget* t_;
};

QTableWidget* makeTable(QWidget* parent, const QStringList& headers) {
  auto* t = new QTableWidget(parent);
  t->setColumnCount(headers.size());
  t->setHorizontalHeaderLabels(headers);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->verticalHeader()->hide();
  t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
  t->setShowGrid(false);
  t->horizontalHeader()->setStretchLastSection(true);
  // Tab goes on to the buttons instead of from cell to cell.
  t->setTabKeyNavigation(false);
  t->installEventFilter(new HomeEndKeys(t));
  return t;
}



}  // namespace

// ---- ChangeForum ------------------------------------------------------------

ToolWindow* ChangeForumWindow::open(MainFrame& frame) {
  auto* w = new ChangeForumWindow(frame);
  // Tall enough for a dozen databases at least.
  frame.addChild(w, QSize(720, 460));
  w->table_->setFocus();
  return w;
}

ChangeForumWindow::ChangeForumWindow(MainFrame& frame)
    : ToolWindow(frame, "ChangeForum", kNotToolsGroup, PlaceChangeForum) {
  auto* lay = new QVBoxLayout(this);
  tabs_ = new QTabBar(this);
  tabs_->addTab("By &Name");
  tabs_->addTab("By D&irectory");
  tabs_->setExpanding(false);
  connect(tabs_, &QTabBar::currentChanged, this, [this](int i) {
    setOrder(i == 0 ? DatabaseOrder::ByName : DatabaseOrder::ByDirectory);
  });
  lay->addWidget(tabs_);
  table_ = makeTable(this, {"Database", "Type", "Directory", "Msg", "Counted", "Import"});
  table_->setToolTip("Right click to change import status");
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  table_->installEventFilter(this);
  connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) { popup(p); });
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { choose(); });
  lay->addWidget(table_, 1);
  auto* buttons = new QHBoxLayout;
  auto* add = new QPushButton("&Add Forum...", this);
  auto* ok = new QPushButton("&Select", this);
  auto* cancel = new QPushButton("Cancel", this);
  connect(add, &QPushButton::clicked, this, [this] { addForum(); });
  connect(ok, &QPushButton::clicked, this, [this] { choose(); });
  connect(cancel, &QPushButton::clicked, this, [this] { close(); });
  buttons->addWidget(add);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  lay->addLayout(buttons);
  setWindowTitle(QString(" Database Selection [") + QString::number(0) + "]");
  fill();
}

void ChangeForumWindow::setOrder(DatabaseOrder o) {
  order_ = o;
  fill();
}

void ChangeForumWindow::fill() {
  Session& s = session();
  uint32_t keep = highlighted() ? highlighted()->ID : s.ForumNumber;
  rows_ = databaseRows(s, order_);
  table_->setRowCount(static_cast<int>(rows_.size()));
  int select = 0;
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
    const DatabaseRow& d = rows_[static_cast<std::size_t>(r)];
    const QString cells[] = {shown(d.DESCRIPTION), QString::fromStdString(d.DBTYPE), QString::fromStdString(d.DIRNAMN),
                             QString::number(d.MSGCOUNT), QString::fromStdString(d.COUNTSTRING),
                             QString::fromStdString(d.ALLOWIMPORT)};
    for (int c = 0; c < 6; ++c) {
      auto* it = new QTableWidgetItem(cells[c]);
      if (c == 3) it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (d.STATUS == StatusKeep || d.STATUS == StatusDelete) it->setForeground(statusColour(s, d.STATUS));
      table_->setItem(r, c, it);
    }
    if (d.ID == keep) select = r;
  }
  // Every column as wide as what it holds (the name at most half the
  // window); the last one takes the rest.
  table_->resizeColumnsToContents();
  table_->setColumnWidth(0, qBound(160, table_->columnWidth(0) + 12, qMax(160, width() / 2)));
  setWindowTitle(QString(" Database Selection [") + QString::number(rows_.size()) + "]");
  if (parentWidget()) parentWidget()->setWindowTitle(windowTitle());
  if (!rows_.empty()) table_->selectRow(select);
}

void ChangeForumWindow::selectRow(int r) { table_->selectRow(r); }

const DatabaseRow* ChangeForumWindow::highlighted() const {
  int r = table_ ? table_->currentRow() : -1;
  if (r < 0 || r >= static_cast<int>(rows_.size())) return nullptr;
  return &rows_[static_cast<std::size_t>(r)];
}

void ChangeForumWindow::choose() {
  const DatabaseRow* d = highlighted();
  if (!d) return;
  Session& s = session();
  if (!chooseDatabase(s, d->ID)) s.fatal(errorText(Err::NoRecord), "Forums");
  rememberDatabase(s);
  chosen_ = true;
  close();
}

void ChangeForumWindow::setRowStatus(uint8_t status) {
  const DatabaseRow* d = highlighted();
  if (!d) return;
  const uint32_t id = d->ID;
  if (!setStatus(session(), StatusTarget::Database, id, status)) return;
  fill();
  if (status == StatusDelete) {
    // The database to delete becomes current; its browse asks about it.
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r)
      if (rows_[static_cast<std::size_t>(r)].ID == id) table_->selectRow(r);
    choose();
  }
}

void ChangeForumWindow::setImport(bool allowed) {
  const DatabaseRow* d = highlighted();
  if (!d) return;
  setImportAllowed(session(), d->ID, allowed);
  fill();
}

bool ChangeForumWindow::rename(const QString& name) {
  const DatabaseRow* d = highlighted();
  if (!d || name.trimmed().isEmpty()) return false;
  bool ok = renameDatabase(session(), d->ID, name.trimmed().toStdString());
  fill();
  return ok;
}

NameDialog* ChangeForumWindow::renameDialog() {
  const DatabaseRow* d = highlighted();
  if (!d || !renamable(*d)) return nullptr;
  auto* dlg = new NameDialog(this, "Database name", "Database name", "Save new name", shown(d->DESCRIPTION));
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->save = [this](const QString& n) { return rename(n); };
  return dlg;
}

void ChangeForumWindow::addForum() {
  AddForumDialog dlg(this, session());
  if (dlg.exec() == QDialog::Accepted) fill();
}

void ChangeForumWindow::popup(const QPoint& at) {
  const QModelIndex idx = table_->indexAt(at);
  if (idx.isValid()) table_->selectRow(idx.row());
  const DatabaseRow* d = highlighted();
  if (!d) return;
  QMenu menu(this);
  menu.addAction("Allow import", this, [this] { setImport(true); });
  menu.addAction("Disallow import", this, [this] { setImport(false); });
  if (renamable(*d)) {
    menu.addSeparator();
    menu.addAction("Change database name", this, [this] {
      if (NameDialog* dlg = renameDialog()) dlg->open();
    });
  }
  menu.exec(table_->viewport()->mapToGlobal(at));
}

bool ChangeForumWindow::eventFilter(QObject* o, QEvent* e) {
  if (o == table_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const bool ctrl = k->modifiers() & Qt::ControlModifier;
    if (k->key() == Qt::Key_Delete || (ctrl && k->key() == Qt::Key_D)) { setRowStatus(StatusDelete); return true; }
    if (ctrl && k->key() == Qt::Key_K) { setRowStatus(StatusKeep); return true; }
    if (ctrl && k->key() == Qt::Key_N) { setRowStatus(StatusNormal); return true; }
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) { choose(); return true; }
  }
  return ToolWindow::eventFilter(o, e);
}

void ChangeForumWindow::closing() {
  // Chosen or not, the frame evaluates the active database again.
  post(&frame_, chosen_ ? NoteDatabaseChanged : NoteReevaluate);
}

// ---- UpDateBox ------------------------------------------------------------------

UpDateBox::UpDateBox(QWidget* parent, bool inserting, const MailDatabaseFields& fields) : QDialog(parent) {
  setWindowTitle(inserting ? " Add New Mail Database" : "Update alternative addresses");
  auto* lay = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  name_ = new QLineEdit(this);
  name_->setMaxLength(static_cast<int>(kMailDbNameLength));
  address_ = new QLineEdit(this);
  address_->setMaxLength(static_cast<int>(kMailAddressLength));
  form->addRow(" Mail database name ", name_);
  form->addRow(" Default mail address ", address_);
  lay->addLayout(form);
  auto* altBox = new QFormLayout;
  lay->addWidget(new QLabel(" Alternative mail addresses ", this));
  for (std::size_t i = 0; i < kMaxAltAddresses; ++i) {
    auto* e = new QLineEdit(this);
    e->setMaxLength(static_cast<int>(kMailAddressLength));
    altBox->addRow(QString::number(i + 1), e);
    alt_.push_back(e);
  }
  lay->addLayout(altBox);
  auto* instr = new QLabel(
      " Instructions \nGive the mail database a name (the owner's name) and the owner's default mail address. "
      "Further addresses under which the owner sends or receives mail go into the alternative addresses; mail "
      "from or to any of them is filed as the owner's.",
      this);
  instr->setWordWrap(true);
  lay->addWidget(instr);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  lay->addWidget(buttons);
  setFields(fields);
}

void UpDateBox::setFields(const MailDatabaseFields& f) {
  name_->setText(shown(f.name));
  address_->setText(shown(f.address));
  for (std::size_t i = 0; i < alt_.size(); ++i) alt_[i]->setText(i < f.alternatives.size() ? shown(f.alternatives[i]) : "");
}

MailDatabaseFields UpDateBox::fields() const {
  MailDatabaseFields f;
  f.name = name_->text().trimmed().toStdString();
  f.address = address_->text().trimmed().toStdString();
  for (auto* e : alt_)
    if (!e->text().trimmed().isEmpty()) f.alternatives.push_back(e->text().trimmed().toStdString());
  return f;
}

// ---- BrowseBox --------------------------------------------------------------------

ToolWindow* MailDatabasesWindow::open(MainFrame& frame) {
  auto* w = new MailDatabasesWindow(frame);
  frame.addChild(w, QSize(620, 320));
  return w;
}

MailDatabasesWindow::MailDatabasesWindow(MainFrame& frame)
    : ToolWindow(frame, "BrowseBox", kNotToolsGroup, PlaceBrowseBox) {
  setWindowTitle(" Mail Databases");
  auto* lay = new QVBoxLayout(this);
  table_ = makeTable(this, {"Mail database name", "Mail address", "Alt address"});
  table_->setColumnWidth(0, 200);
  table_->setColumnWidth(1, 240);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { editHighlighted(); });
  lay->addWidget(table_, 1);
  auto* buttons = new QHBoxLayout;
  auto* ins = new QPushButton("&Insert", this);
  auto* upd = new QPushButton("&Update", this);
  auto* cls = new QPushButton("Close", this);
  connect(ins, &QPushButton::clicked, this, [this] { editNew(); });
  connect(upd, &QPushButton::clicked, this, [this] { editHighlighted(); });
  connect(cls, &QPushButton::clicked, this, [this] { close(); });
  buttons->addWidget(ins);
  buttons->addWidget(upd);
  buttons->addStretch();
  buttons->addWidget(cls);
  lay->addLayout(buttons);
  fill();
}

void MailDatabasesWindow::closing() {
  // The frame enables its menus again and evaluates the active database.
  post(&frame_, NoteReevaluate);
}

void MailDatabasesWindow::fill() {
  dbs_ = mailDatabaseRows(session());
  table_->setRowCount(static_cast<int>(dbs_.size()));
  for (int r = 0; r < static_cast<int>(dbs_.size()); ++r) {
    const MailDatabaseFields& f = dbs_[static_cast<std::size_t>(r)].fields;
    table_->setItem(r, 0, new QTableWidgetItem(shown(f.name)));
    table_->setItem(r, 1, new QTableWidgetItem(shown(f.address)));
    QStringList alts;
    for (const std::string& a : f.alternatives) alts << shown(a);
    auto* alt = new QTableWidgetItem(alts.join(", "));
    alt->setToolTip(alts.join("\n"));
    table_->setItem(r, 2, alt);
  }
  if (!dbs_.empty()) table_->selectRow(0);
}

bool MailDatabasesWindow::insert(const MailDatabaseFields& f) {
  Session& s = session();
  std::string problem = checkMailDatabaseFields(f);
  if (!problem.empty()) {
    s.tell(problem, " Add New Mail Database");
    return false;
  }
  if (!createMailDatabase(s, f)) return false;
  fill();
  return true;
}

bool MailDatabasesWindow::update(const MailDatabaseFields& f) {
  Session& s = session();
  const int r = table_->currentRow();
  if (r < 0 || r >= static_cast<int>(dbs_.size())) return false;
  std::string problem = checkMailDatabaseFields(f);
  if (!problem.empty()) {
    s.tell(problem, "Update alternative addresses");
    return false;
  }
  const uint32_t id = dbs_[static_cast<std::size_t>(r)].ID;
  if (!updateMailDatabase(s, id, f)) return false;
  if (id == s.ForumNumber) s.Description = FixedString<100>(f.name).str();
  fill();
  return true;
}

void MailDatabasesWindow::editNew() {
  UpDateBox box(this, true, {});
  while (box.exec() == QDialog::Accepted)
    if (insert(box.fields())) break;
}

void MailDatabasesWindow::editHighlighted() {
  const int r = table_->currentRow();
  if (dbs_.empty()) {
    session().tell("There is no mail database to update yet.\r\nPress \"Insert\" to create one.",
                   "Update alternative addresses");
    return;
  }
  if (r < 0 || r >= static_cast<int>(dbs_.size())) {
    session().tell("Highlight the mail database to update in the list first.", "Update alternative addresses");
    return;
  }
  UpDateBox box(this, false, dbs_[static_cast<std::size_t>(r)].fields);
  while (box.exec() == QDialog::Accepted)
    if (update(box.fields())) break;
}

// ---- Add New Forum ------------------------------------------------------------------

NameDialog::NameDialog(QWidget* parent, const QString& title, const QString& label, const QString& saveText,
                       const QString& text)
    : QDialog(parent) {
  setWindowTitle(title);
  auto* lay = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  edit_ = new QLineEdit(text, this);
  edit_->setMaxLength(100);
  edit_->setMinimumWidth(280);
  form->addRow(label, edit_);
  lay->addLayout(form);
  problem_ = new QLabel(this);
  problem_->setObjectName("Problem");
  problem_->setStyleSheet("color: #b00000;");
  problem_->hide();
  lay->addWidget(problem_);
  connect(edit_, &QLineEdit::textEdited, problem_, &QWidget::hide);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* saveB = buttons->addButton(saveText, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  saveB->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &NameDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  lay->addWidget(buttons);
}

QString NameDialog::name() const { return edit_->text().trimmed(); }
void NameDialog::setName(const QString& n) { edit_->setText(n); }
QString NameDialog::problem() const { return problem_->isHidden() ? QString() : problem_->text(); }

void NameDialog::accept() {
  if (name().isEmpty()) {
    problem_->setText("The name must not be empty.");
    problem_->show();
    edit_->setFocus();
    QApplication::beep();
    return;
  }
  if (save && !save(name())) return;
  QDialog::accept();
}

AddForumDialog::AddForumDialog(QWidget* parent, Session& s)
    : NameDialog(parent, " Add New Forum", "Forum name", "Save new Forum"), s_(s) {
  save = [this](const QString& n) { return saveForum(n); };
}

bool AddForumDialog::saveForum(const QString& name) {
  if (name.trimmed().isEmpty()) return false;
  added_ = addForumDatabase(s_, name.trimmed().toStdString());
  return added_ != 0;
}

// ---- About ----------------------------------------------------------------------------

ToolWindow* AboutWindow::open(MainFrame& frame) {
  auto* w = new AboutWindow(frame);
  frame.addChild(w, QSize(380, 220));
  return w;
}

AboutWindow::AboutWindow(MainFrame& frame) : ToolWindow(frame, "About", kNotToolsGroup, PlaceAbout) {
  setWindowTitle("About Quillbox");
  auto* lay = new QVBoxLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(appIcon(Glyph::Program).pixmap(48, 48));
  lay->addWidget(icon, 0, Qt::AlignHCenter);
  auto* t = new QLabel(QString("<h3>Quillbox Message Converter</h3><p>Version 4.2 &mdash; 32-bit archive layout"
                               "</p><p>Build %1</p><p>Archives forum captures, newsreader stores and mailboxes, "
                               "and keeps them for browsing and export.</p>")
                           .arg(QString::fromLatin1(qb::versionString())),
                       this);
  t->setAlignment(Qt::AlignCenter);
  t->setWordWrap(true);
  lay->addWidget(t);
  auto* ok = new QPushButton("OK", this);
  connect(ok, &QPushButton::clicked, this, [this] { close(); });
  lay->addWidget(ok, 0, Qt::AlignHCenter);
}

}  // namespace qb::app
