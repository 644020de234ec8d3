#include "app/scheduler_windows.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/browse/browse_databases.h"
#include "archive/session.h"
#include "import/import_run.h"
#include "import/import_types.h"
#include "scheduler/task_processor.h"
#include "text/datetime.h"

namespace qb::app {

using scheduler::BatchInfo;
using scheduler::Moment;
using scheduler::TaskInfo;

namespace {

constexpr int kCheckMs = 15000;  // the due-task check interval

QString q(const std::string& s) { return shown(s); }

QString momentText(Moment m) {
  if (m.date == 0) return {};
  return QString::fromStdString(text::formatDate(m.date) + (m.time ? " " + text::formatTime(m.time) : ""));
}

QTableWidget* listTable(QWidget* parent, const QStringList& headers) {
  auto* t = new QTableWidget(parent);
  t->setColumnCount(static_cast<int>(headers.size()));
  t->setHorizontalHeaderLabels(headers);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->verticalHeader()->hide();
  t->horizontalHeader()->setStretchLastSection(true);
  return t;
}

void setRow(QTableWidget* t, int row, const QStringList& cells) {
  for (int c = 0; c < cells.size(); ++c) t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QHBoxLayout* listButtons(QWidget* w, const std::function<void()>& ins, const std::function<void()>& chg,
                         const std::function<void()>& del) {
  auto* row = new QHBoxLayout;
  auto* i = new QPushButton("&Insert", w);
  auto* c = new QPushButton("&Change", w);
  auto* d = new QPushButton("&Delete", w);
  auto* x = new QPushButton("Close", w);
  QObject::connect(i, &QPushButton::clicked, w, ins);
  QObject::connect(c, &QPushButton::clicked, w, chg);
  QObject::connect(d, &QPushButton::clicked, w, del);
  QObject::connect(x, &QPushButton::clicked, w, [w] { w->close(); });
  row->addWidget(i);
  row->addWidget(c);
  row->addWidget(d);
  row->addStretch();
  row->addWidget(x);
  return row;
}

int32_t dayOf(const QDate& d) { return text::dayNumber(d.year(), d.month(), d.day()); }
QDate dateOf(int32_t day) {
  int y, m, d;
  text::calendarDate(day, y, m, d);
  return QDate(y, m, d);
}

}  // namespace

// ---- batches ---------------------------------------------------------------------

ToolWindow* BatchListWindow::open(MainFrame& frame) {
  auto* w = new BatchListWindow(frame);
  frame.addChild(w, QSize(640, 320));
  return w;
}

BatchListWindow::BatchListWindow(MainFrame& frame) : ToolWindow(frame, "BrowseBatch", kNotToolsGroup, 0) {
  setWindowTitle("Predefined Import Procedures");
  auto* lay = new QVBoxLayout(this);
  table_ = listTable(this, {"Import Batch Description", "Import type", "Directory for import files:"});
  table_->setColumnWidth(0, 220);
  table_->setColumnWidth(1, 150);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { edit(false); });
  lay->addWidget(table_, 1);
  lay->addLayout(listButtons(this, [this] { edit(true); }, [this] { edit(false); }, [this] { deleteHighlighted(); }));
  fill();
}

void BatchListWindow::fill() {
  rows_ = scheduler::listBatches(session());
  table_->setRowCount(static_cast<int>(rows_.size()));
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const import::ImportType* t = import::importTypeByNumber(rows_[i].fileType);
    setRow(table_, static_cast<int>(i),
           {q(rows_[i].description), t ? QString::fromLatin1(t->name) : QString(), QString::fromStdString(rows_[i].path)});
  }
  if (!rows_.empty() && table_->currentRow() < 0) table_->selectRow(0);
}

BatchEditor* BatchListWindow::edit(bool isNew) {
  BatchInfo b;
  const int row = table_->currentRow();
  if (!isNew) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
    b = rows_[static_cast<std::size_t>(row)];
  }
  auto* e = new BatchEditor(session(), b, this);
  e->setAttribute(Qt::WA_DeleteOnClose);
  connect(e, &QDialog::accepted, this, [this] { fill(); });
  e->open();
  return e;
}

void BatchListWindow::deleteHighlighted() {
  const int row = table_->currentRow();
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  const BatchInfo& b = rows_[static_cast<std::size_t>(row)];
  const auto tasks = scheduler::tasksOfBatch(session(), b.id);
  std::string text = "Delete the import procedure \"" + b.description + "\"?";
  if (!tasks.empty()) text += "\r\nIt is removed from " + std::to_string(tasks.size()) + " task(s).";
  if (session().ask(text, "Delete", unsigned(Button::Yes) | unsigned(Button::No), Button::No) != Button::Yes) return;
  scheduler::deleteBatch(session(), b.id);
  fill();
}

void BatchListWindow::closing() { post(&frame_, NoteSchedulerClosed); }

BatchEditor::BatchEditor(store::Session& s, const BatchInfo& b, QWidget* parent) : QDialog(parent), s_(s), b_(b) {
  scheduler::raiseBusy(s_);  // no task starts while an editor is open
  setWindowTitle(b.id ? "Change Import Procedure" : "New Import Procedure");
  auto* form = new QFormLayout(this);
  description = new QLineEdit(q(b.description), this);
  description->setMaxLength(50);
  form->addRow("Import Batch Description", description);
  format = new QComboBox(this);
  for (const auto& t : import::importTypes())
    if (t.offered() && t.available()) format->addItem(QString::fromLatin1(t.name), t.number());
  format->setCurrentIndex(std::max(0, format->findData(b.fileType)));
  form->addRow("Import type", format);
  path = new QLineEdit(QString::fromStdString(b.path), this);
  path->setMaxLength(100);
  form->addRow("Directory for import files:", path);
  method = new QComboBox(this);
  method->addItems({"Directory and its subdirectories", "Directory", "One file"});
  method->setCurrentIndex(b.selMethod >= 0 && b.selMethod <= 2 ? b.selMethod : 1);
  form->addRow("Selection", method);
  forumDb = new QComboBox(this);
  mailDb = new QComboBox(this);
  forumDb->addItem("(none)", 0u);
  mailDb->addItem("(none)", 0u);
  for (const auto& r : store::databaseRows(s, store::DatabaseOrder::ByName)) {
    QComboBox* box = r.DBTYPE == "Mail" ? mailDb : forumDb;
    box->addItem(q(r.DESCRIPTION), r.ID);
  }
  forumDb->setCurrentIndex(std::max(0, forumDb->findData(b.database)));
  mailDb->setCurrentIndex(std::max(0, mailDb->findData(b.mailbox)));
  form->addRow("Forum message import to:", forumDb);
  form->addRow("Mail import to:", mailDb);
  auto* kinds = new QHBoxLayout;
  mail = new QCheckBox("Mail", this);
  forum = new QCheckBox("Forum", this);
  news = new QCheckBox("Newsgroup", this);
  mail->setChecked(b.mail);
  forum->setChecked(b.forum);
  news->setChecked(b.news);
  kinds->addWidget(mail);
  kinds->addWidget(forum);
  kinds->addWidget(news);
  form->addRow("Messages", kinds);
  reimport = new QCheckBox("Allow reimport", this);
  reimport->setChecked(b.allowReimport);
  createOnly = new QCheckBox("Import no messages (database creation only)", this);
  createOnly->setChecked(b.createOnly);
  form->addRow(reimport);
  form->addRow(createOnly);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, [this] {
    if (save()) accept();
  });
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(box);
}

BatchEditor::~BatchEditor() { scheduler::lowerBusy(s_); }

BatchInfo BatchEditor::batch() const {
  BatchInfo b = b_;
  b.description = description->text().trimmed().toStdString();
  b.fileType = format->currentData().toInt();
  b.path = path->text().trimmed().toStdString();
  b.selMethod = method->currentIndex();
  b.database = forumDb->currentData().toUInt();
  b.mailbox = mailDb->currentData().toUInt();
  if (b.mailbox != b_.mailbox) b.mailTopic = 0;
  b.mail = mail->isChecked();
  b.forum = forum->isChecked();
  b.news = news->isChecked();
  b.allowReimport = reimport->isChecked();
  b.createOnly = createOnly->isChecked();
  return b;
}

bool BatchEditor::save() {
  BatchInfo b = batch();
  if (b.description.empty() || b.path.empty() || b.fileType == 0) {
    s_.tell("Enter a description, an import type and a directory!", "Import Procedure");
    return false;
  }
  std::string problem;
  if (b.id == 0 ? !scheduler::createBatch(s_, b, problem) : !scheduler::saveBatch(s_, b)) {
    if (!problem.empty()) s_.tell(problem, "Import Procedure");
    return false;
  }
  b_ = b;
  return true;
}

// ---- tasks -----------------------------------------------------------------------

ToolWindow* TaskListWindow::open(MainFrame& frame) {
  auto* w = new TaskListWindow(frame);
  frame.addChild(w, QSize(700, 320));
  return w;
}

TaskListWindow::TaskListWindow(MainFrame& frame) : ToolWindow(frame, "BrowseTasks", kNotToolsGroup, 0) {
  setWindowTitle("Scheduled Tasks");
  auto* lay = new QVBoxLayout(this);
  table_ = listTable(this, {"Task description", "Run next date and time:", "Last ran date and time:", "Result",
                            "Active"});
  table_->setColumnWidth(0, 220);
  table_->setColumnWidth(1, 140);
  table_->setColumnWidth(2, 140);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { edit(false); });
  lay->addWidget(table_, 1);
  lay->addLayout(listButtons(this, [this] { edit(true); }, [this] { edit(false); }, [this] { deleteHighlighted(); }));
  fill();
}

void TaskListWindow::fill() {
  rows_ = scheduler::listTasks(session());
  table_->setRowCount(static_cast<int>(rows_.size()));
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const TaskInfo& t = rows_[i];
    setRow(table_, static_cast<int>(i),
           {q(t.description), momentText(t.runNext), momentText(t.lastRun),
            QString::fromLatin1(scheduler::resultName(t.result)), t.active ? "Yes" : "No"});
  }
  if (!rows_.empty() && table_->currentRow() < 0) table_->selectRow(0);
}

TaskEditor* TaskListWindow::edit(bool isNew) {
  TaskInfo t;
  const int row = table_->currentRow();
  if (!isNew) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
    t = rows_[static_cast<std::size_t>(row)];
  } else {
    const Moment now = scheduler::now();
    t.runNext = {now.date + 1, text::timeValue(3, 0)};
  }
  auto* e = new TaskEditor(session(), t, this);
  e->setAttribute(Qt::WA_DeleteOnClose);
  connect(e, &QDialog::accepted, this, [this] { fill(); });
  e->open();
  return e;
}

void TaskListWindow::deleteHighlighted() {
  const int row = table_->currentRow();
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  const TaskInfo& t = rows_[static_cast<std::size_t>(row)];
  if (session().ask("Delete the task \"" + t.description + "\"?", "Delete",
                    unsigned(Button::Yes) | unsigned(Button::No), Button::No) != Button::Yes)
    return;
  scheduler::deleteTask(session(), t.id);
  fill();
}

void TaskListWindow::closing() { post(&frame_, NoteSchedulerClosed); }

TaskEditor::TaskEditor(store::Session& s, const TaskInfo& t, QWidget* parent) : QDialog(parent), s_(s), t_(t) {
  scheduler::raiseBusy(s_);  // no task starts while an editor is open
  setWindowTitle(t.id ? "Change Task" : "New Task");
  auto* lay = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  description = new QLineEdit(q(t.description), this);
  description->setMaxLength(50);
  form->addRow("Task description", description);
  active = new QCheckBox("Active (uncheck: \"Deactivate this task\")", this);
  active->setChecked(t.active);
  form->addRow(active);
  next = new QDateTimeEdit(this);
  next->setDisplayFormat("yyyy-MM-dd HH:mm");
  next->setCalendarPopup(true);
  if (t.runNext.date) {
    int h = 0, m = 0, sec = 0;
    if (t.runNext.time) text::clockTime(t.runNext.time, h, m, sec);
    next->setDateTime(QDateTime(dateOf(t.runNext.date), QTime(h, m)));
  } else {
    next->setDateTime(QDateTime::currentDateTime());
  }
  form->addRow("Run next date and time:", next);
  runWhenExiting = new QCheckBox("Run task when exiting the Import Scheduler", this);
  runWhenExiting->setChecked(t.runNow.time != 0);
  form->addRow(runWhenExiting);
  lay->addLayout(form);

  auto* daily = new QGroupBox("Repeat daily at", this);
  auto* dl = new QHBoxLayout(daily);
  static const char* names[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  for (int i = 0; i < 7; ++i) {
    days[i] = new QCheckBox(names[i], daily);
    days[i]->setChecked(t.days[static_cast<std::size_t>(i)]);
    dl->addWidget(days[i]);
  }
  lay->addWidget(daily);
  auto* monthly = new QGroupBox("Repeat monthly at", this);
  auto* ml = new QHBoxLayout(monthly);
  for (int i = 0; i < 5; ++i) {
    monthDays[i] = new QSpinBox(monthly);
    monthDays[i]->setRange(0, 31);
    monthDays[i]->setSpecialValueText("-");
    monthDays[i]->setValue(t.monthDays[static_cast<std::size_t>(i)]);
    ml->addWidget(monthDays[i]);
  }
  monthly->setToolTip("A day that a month does not have (31 in April) means its last day");
  lay->addWidget(monthly);

  auto* clean = new QGroupBox("Clean-up", this);
  auto* cl = new QVBoxLayout(clean);
  merge = new QCheckBox("Merge duplicate persons", clean);
  purge = new QCheckBox("Purge deleted messages", clean);
  count = new QCheckBox("Count messages, persons etc", clean);
  index = new QCheckBox("Index words", clean);
  merge->setChecked(t.doMerge);
  purge->setChecked(t.doPurge);
  count->setChecked(t.doCount);
  index->setChecked(t.doIndex);
  for (auto* c : {merge, purge, count, index}) cl->addWidget(c);
  lay->addWidget(clean);

  lay->addWidget(new QLabel("Predefined Import Procedures", this));
  batches = new QListWidget(this);
  for (const BatchInfo& b : scheduler::listBatches(s)) {
    auto* item = new QListWidgetItem(q(b.description), batches);
    item->setData(Qt::UserRole, b.id);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    const bool in = std::find(t.batches.begin(), t.batches.end(), b.id) != t.batches.end();
    item->setCheckState(in ? Qt::Checked : Qt::Unchecked);
  }
  lay->addWidget(batches, 1);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, [this] {
    if (save()) accept();
  });
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  lay->addWidget(box);
}

TaskEditor::~TaskEditor() { scheduler::lowerBusy(s_); }

TaskInfo TaskEditor::task() const {
  TaskInfo t = t_;
  t.description = description->text().trimmed().toStdString();
  t.active = active->isChecked();
  const QDateTime dt = next->dateTime();
  t.runNext = {dayOf(dt.date()), text::timeValue(dt.time().hour(), dt.time().minute())};
  for (int i = 0; i < 7; ++i) t.days[static_cast<std::size_t>(i)] = days[i]->isChecked() ? 1 : 0;
  for (int i = 0; i < 5; ++i) t.monthDays[static_cast<std::size_t>(i)] = static_cast<uint8_t>(monthDays[i]->value());
  t.doMerge = merge->isChecked();
  t.doPurge = purge->isChecked();
  t.doCount = count->isChecked();
  t.doIndex = index->isChecked();
  if (runWhenExiting->isChecked()) {
    if (t.runNow.time == 0) t.runNow = scheduler::now();
  } else {
    t.runNow = Moment{};
  }
  t.batches.clear();
  for (int i = 0; i < batches->count(); ++i)
    if (batches->item(i)->checkState() == Qt::Checked) t.batches.push_back(batches->item(i)->data(Qt::UserRole).toUInt());
  return t;
}

bool TaskEditor::save() {
  TaskInfo t = task();
  if (t.description.empty()) {
    s_.tell("Enter a task description!", "Task");
    return false;
  }
  if (!scheduler::saveTask(s_, t)) return false;
  t_ = t;
  return true;
}

// ---- the task log ------------------------------------------------------------------

ToolWindow* TaskLogWindow::open(MainFrame& frame) {
  auto* w = new TaskLogWindow(frame);
  frame.addChild(w, QSize(720, 360));
  return w;
}

TaskLogWindow::TaskLogWindow(MainFrame& frame) : ToolWindow(frame, "TaskLog", kNotToolsGroup, 0) {
  setWindowTitle("Task Log");
  auto* lay = new QVBoxLayout(this);
  tree_ = new QTreeWidget(this);
  tree_->setHeaderLabels({"Task / step", "Detail", "Started", "Duration", "Result"});
  tree_->setColumnWidth(0, 200);
  tree_->setColumnWidth(1, 200);
  tree_->setColumnWidth(2, 130);
  lay->addWidget(tree_, 1);
  auto* row = new QHBoxLayout;
  auto* refresh = new QPushButton("&Refresh", this);
  auto* cls = new QPushButton("Close", this);
  connect(refresh, &QPushButton::clicked, this, [this] { fill(); });
  connect(cls, &QPushButton::clicked, this, [this] { close(); });
  row->addWidget(refresh);
  row->addStretch();
  row->addWidget(cls);
  lay->addLayout(row);
  fill();
}

void TaskLogWindow::fill() {
  tree_->clear();
  auto runs = scheduler::readTaskLog(session());
  // Newest run first.
  for (auto r = runs.rbegin(); r != runs.rend(); ++r) {
    auto* top = new QTreeWidgetItem(tree_);
    top->setText(0, r->task.empty() ? QString("Task %1").arg(r->taskId) : q(r->task));
    top->setText(2, momentText(r->started));
    top->setText(3, QString::fromStdString(scheduler::durationText(r->started, r->finished)));
    top->setText(4, QString::fromLatin1(scheduler::resultName(r->result)));
    for (const auto& it : r->items) {
      auto* child = new QTreeWidgetItem(top);
      child->setText(0, QString::fromLatin1(scheduler::stepKindName(it.type)));
      child->setText(1, q(it.detail));
      child->setText(2, momentText(it.started));
      child->setText(3, QString::fromStdString(scheduler::durationText(it.started, it.finished)));
      child->setText(4, QString::fromLatin1(scheduler::resultName(it.result)));
    }
  }
  if (tree_->topLevelItemCount()) tree_->topLevelItem(0)->setExpanded(true);
}

void TaskLogWindow::notify(int code, int) {
  if (code == NoteTasksFinished) fill();
}

void TaskLogWindow::closing() { post(&frame_, NoteSchedulerClosed); }

// ---- the task start window -------------------------------------------------------------

TaskStartWindow::TaskStartWindow(store::Session& s, std::vector<uint32_t> dueTasks, QWidget* parent)
    : QDialog(parent), s_(s), due_(std::move(dueTasks)) {
  setWindowTitle(" Task Start ");
  auto* lay = new QVBoxLayout(this);
  auto* intro = new QLabel(messageText(
      "It is time to start task processing! \r\nYou cannot do other work in Quillbox during task processing. If "
      "you do not want to run the task now, select an appropriate option and click on the OK button. \r\n\r\n"));
  intro->setWordWrap(true);
  lay->addWidget(intro);
  auto* list = new QTableWidget(this);
  list->setColumnCount(2);
  list->setHorizontalHeaderLabels({"Task", "Run next date and time:"});
  list->verticalHeader()->hide();
  list->horizontalHeader()->setStretchLastSection(true);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setRowCount(static_cast<int>(due_.size()));
  for (std::size_t i = 0; i < due_.size(); ++i) {
    TaskInfo t;
    scheduler::readTask(s, due_[i], t);
    list->setItem(static_cast<int>(i), 0, new QTableWidgetItem(q(t.description)));
    list->setItem(static_cast<int>(i), 1, new QTableWidgetItem(momentText(t.runNext)));
  }
  list->setColumnWidth(0, 240);
  lay->addWidget(list);
  countdown_ = new QLabel(this);
  lay->addWidget(countdown_);
  auto* group = new QGroupBox("Processing options", this);
  auto* gl = new QVBoxLayout(group);
  options_ = new QButtonGroup(this);
  const std::pair<scheduler::StartChoice, const char*> opts[] = {
      {scheduler::StartChoice::RunNow, " Run now"},
      {scheduler::StartChoice::Postpone, " Postpone"},
      {scheduler::StartChoice::Skip, " Skip this time"},
      {scheduler::StartChoice::DeactivateTask, " Deactivate task"},
      {scheduler::StartChoice::DeactivateScheduler, " Deactivate ImportScheduler"}};
  for (const auto& [choice, label] : opts) {
    auto* rb = new QRadioButton(label, group);
    options_->addButton(rb, static_cast<int>(choice));
    if (choice == scheduler::StartChoice::Postpone) {
      auto* row = new QHBoxLayout;
      row->addWidget(rb);
      hours_ = new QSpinBox(group);
      hours_->setRange(1, 48);
      hours_->setValue(1);
      hours_->setSuffix(" hour(s)");
      row->addWidget(hours_);
      row->addStretch();
      gl->addLayout(row);
    } else {
      gl->addWidget(rb);
    }
  }
  options_->button(static_cast<int>(scheduler::StartChoice::RunNow))->setChecked(true);
  lay->addWidget(group);
  auto* buttons = new QHBoxLayout;
  auto* okb = new QPushButton("OK", this);
  auto* ab = new QPushButton("Abort", this);
  connect(okb, &QPushButton::clicked, this, [this] { ok(); });
  connect(ab, &QPushButton::clicked, this, [this] { abort(); });
  buttons->addStretch();
  buttons->addWidget(okb);
  buttons->addWidget(ab);
  lay->addLayout(buttons);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, [this] { tick(); });
  timer_->start(1000);
  countdown_->setText(QString(" Task processing starts in %1 seconds").arg(seconds_, 2, 10, QChar('0')));
}

void TaskStartWindow::tick() {
  if (seconds_ > 0) --seconds_;
  countdown_->setText(QString(" Task processing starts in %1 seconds").arg(seconds_, 2, 10, QChar('0')));
  if (seconds_ > 0) return;
  timer_->stop();
  const auto c = static_cast<scheduler::StartChoice>(options_->checkedId());
  // At the end of the countdown a task starts only when nothing must not be
  // interrupted; otherwise the window waits for the user.
  if (c == scheduler::StartChoice::RunNow && scheduler::isBusy(s_)) return;
  if (c == scheduler::StartChoice::RunNow) countdown_->setText(" Task processing starting up!");
  carryOut(c);
}

void TaskStartWindow::ok() { carryOut(static_cast<scheduler::StartChoice>(options_->checkedId())); }

void TaskStartWindow::abort() { carryOut(scheduler::StartChoice::Abort); }

void TaskStartWindow::carryOut(scheduler::StartChoice c) {
  timer_->stop();
  choice_ = c;
  outcome_ = scheduler::applyStartChoice(s_, c, due_, hours_->value(), scheduler::now());
  if (outcome_ == scheduler::StartOutcome::Refused) s_.tell("Another Task is already active!", " Task Start Error ");
  if (c == scheduler::StartChoice::Postpone) setWindowTitle(QString::fromStdString(scheduler::postponedTitle(hours_->value())));
  done(outcome_ == scheduler::StartOutcome::Start ? QDialog::Accepted : QDialog::Rejected);
}

// ---- the driver ----------------------------------------------------------------------

SchedulerDriver::SchedulerDriver(MainFrame& frame) : QObject(&frame), frame_(frame) {
  setObjectName("SchedulerDriver");
  check_ = new QTimer(this);
  connect(check_, &QTimer::timeout, this, [this] { check(); });
  check_->start(kCheckMs);
  stepper_ = new QTimer(this);
  stepper_->setInterval(0);
  connect(stepper_, &QTimer::timeout, this, [this] { step(); });
}

SchedulerDriver::~SchedulerDriver() {
  stepper_->stop();
  if (processor_) {
    processor_->interrupt();
    while (processor_->step()) {
    }
    processor_.reset();
  }
}

bool SchedulerDriver::check() {
  store::Session& s = frame_.session();
  // Only while idle: no modal window, no task going on.
  if (processor_ || startWindow_ || QApplication::activeModalWidget() || s.IndexingInProgress) return false;
  scheduler::DueCheck due = scheduler::checkDueTasks(s, scheduler::now());
  if (due.gate != scheduler::Gate::Open || due.tasks.empty()) return false;
  if (!lock_.tryAcquire(s)) return false;  // a headless run is processing tasks
  s.DoTask = 1;
  auto* w = new TaskStartWindow(s, due.tasks, &frame_);
  w->setAttribute(Qt::WA_DeleteOnClose);
  startWindow_ = w;
  const uint32_t first = due.tasks.front();
  connect(w, &QDialog::finished, this, [this, w, first](int) {
    if (w->outcome() == scheduler::StartOutcome::Start)
      startTask(first);
    else
      lock_.release();
  });
  w->show();
  return true;
}

void SchedulerDriver::startTask(uint32_t taskId) {
  store::Session& s = frame_.session();
  if (!lock_.tryAcquire(s)) {
    s.DoTask = 0;
    s.tell("Another Task is already active!", " Task Start Error ");
    return;
  }
  processor_ = std::make_unique<scheduler::TaskProcessor>(s, taskId);
  if (!processor_->start()) {
    s.DoTask = 0;
    processor_.reset();
    lock_.release();
    return;
  }
  auto* d = new QDialog(&frame_);
  d->setAttribute(Qt::WA_DeleteOnClose);
  d->setWindowTitle("Scheduled import");
  auto* lay = new QVBoxLayout(d);
  progressText_ = new QLabel(d);
  progressBar_ = new QProgressBar(d);
  progressBar_->setRange(0, 1000);
  auto* cancel = new QPushButton("Cancel", d);
  connect(cancel, &QPushButton::clicked, this, [this] {
    if (processor_) processor_->cancel();
  });
  lay->addWidget(progressText_);
  lay->addWidget(progressBar_);
  lay->addWidget(cancel, 0, Qt::AlignRight);
  progress_ = d;
  d->show();
  stepper_->start();
}

void SchedulerDriver::step() {
  if (!processor_) return;
  bool more = processor_->step();
  if (progressText_ && progress_) {
    progressText_->setText(q(processor_->caption()));
    if (const import::ImportRun* r = processor_->importRun()) {
      const auto& p = r->progress();
      double f = p.storing ? (p.storeTotal ? double(p.storeDone) / double(p.storeTotal) : 0) : p.conversion;
      progressBar_->setValue(static_cast<int>(f * 1000));
    }
  }
  if (!more) finished();
}

void SchedulerDriver::finished() {
  stepper_->stop();
  processor_.reset();
  lock_.release();
  if (progress_) progress_->close();
  progressText_ = nullptr;
  progressBar_ = nullptr;
  if (QWidget* log = frame_.registry().get("TaskLog")) post(log, NoteTasksFinished);
  post(&frame_, NoteTasksFinished);
}

bool semaFore(MainFrame& frame, int code) {
  switch (code) {
    case scheduler::SemaImportWizard: frame.openOrRaise("ImportMeny"); return true;
    case scheduler::SemaTaskLog: frame.openOrRaise("TaskLog"); return true;
    case scheduler::SemaTaskList: frame.openOrRaise("BrowseTasks"); return true;
    case scheduler::SemaBatchList: frame.openOrRaise("BrowseBatch"); return true;
    case scheduler::SemaDueCheck:
      if (!frame.findChild<SchedulerDriver*>("SchedulerDriver")) new SchedulerDriver(frame);
      return true;
    case scheduler::SemaTaskStart:
      if (auto* d = frame.findChild<SchedulerDriver*>("SchedulerDriver")) d->check();
      return true;
    case scheduler::SemaRemoveDatabase:
      scheduler::removeDatabaseFromBatches(frame.session(), frame.session().ForumNumber);
      return true;
    default: return false;
  }
}

}  // namespace qb::app
