#include "app/persons_window.h"

#include <QHeaderView>
#include <QMenu>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/session.h"
#include "maintenance/merge_persons.h"
#include "maintenance/message_status.h"

namespace qb::app {

namespace {
constexpr int kPlaceBrowsePerson = 19;

// "Partner" in a mail database, else the kind's person.
QString personWord(uint8_t kind) {
  return kind == store::KindMail ? "Partner" : kind == store::KindNewsgroup ? "Participant" : "Member";
}
}  // namespace

ToolWindow* PersonsWindow::open(MainFrame& frame) {
  auto* w = new PersonsWindow(frame);
  frame.addChild(w, QSize(620, 400));
  return w;
}

PersonsWindow::PersonsWindow(MainFrame& frame) : ToolWindow(frame, "BrowsePerson", kNotToolsGroup, kPlaceBrowsePerson) {
  store::Session& s = session();
  const QString who = QString::fromStdString(maintenance::mergeTexts(s.ForumType).persons);
  setWindowTitle(" " + who + " [" + shown(s.Description).trimmed() + "]");
  auto* lay = new QVBoxLayout(this);
  tabs_ = new QTabBar(this);
  tabs_->addTab("By Name");
  tabs_->addTab("By Address");
  connect(tabs_, &QTabBar::currentChanged, this,
          [this](int i) { setOrder(i == 1 ? store::PersonOrder::ByAddress : store::PersonOrder::ByName); });
  lay->addWidget(tabs_);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({"Last Name", "First Name", "Address", "Sent", "Received", "Status"});
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->setToolTip("Right click to change the status");
  connect(list_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& p) { popup(p); });
  lay->addWidget(list_);
  fill();
}

PersonsWindow::~PersonsWindow() = default;

void PersonsWindow::reload() {
  const uint32_t current = personAt(list_->indexOfTopLevelItem(list_->currentItem()));
  fill();
  for (int i = 0; i < rowCount(); ++i)
    if (personAt(i) == current) selectRow(i);
}

void PersonsWindow::fill() {
  rows_ = store::personRows(session(), order_);
  list_->clear();
  QList<QTreeWidgetItem*> items;
  for (const auto& r : rows_) {
    auto* it = new QTreeWidgetItem;
    it->setText(0, shown(r.lastName));
    it->setText(1, shown(r.firstName));
    it->setText(2, shown(r.address));
    it->setText(3, QString::number(r.sent));
    it->setText(4, QString::number(r.received));
    it->setText(5, QString::fromLatin1(maintenance::statusName(r.status)) + (r.owner ? " (owner)" : ""));
    it->setTextAlignment(3, Qt::AlignRight);
    it->setTextAlignment(4, Qt::AlignRight);
    const QColor c = r.status == 2 ? QColor(255, 0, 0) : r.status == 1 ? QColor(0, 0, 128) : QColor();
    if (c.isValid())
      for (int col = 0; col < 6; ++col) it->setForeground(col, c);
    items.append(it);
  }
  list_->addTopLevelItems(items);
  if (!items.isEmpty()) list_->setCurrentItem(items.first());
}

int PersonsWindow::rowCount() const { return list_->topLevelItemCount(); }

QString PersonsWindow::cell(int row, int column) const {
  auto* it = list_->topLevelItem(row);
  return it ? it->text(column) : QString();
}

uint32_t PersonsWindow::personAt(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<std::size_t>(row)].id : 0;
}

void PersonsWindow::setOrder(store::PersonOrder order) {
  order_ = order;
  tabs_->blockSignals(true);
  tabs_->setCurrentIndex(order == store::PersonOrder::ByAddress ? 1 : 0);
  tabs_->blockSignals(false);
  reload();
}

void PersonsWindow::selectRow(int row) {
  if (auto* it = list_->topLevelItem(row)) list_->setCurrentItem(it);
}

QStringList PersonsWindow::statusChoices() const {
  const QString w = personWord(frame_.session().ForumType);
  return {"Normal " + w, "Keep " + w, "Delete " + w};
}

bool PersonsWindow::setStatus(int status) {
  const uint32_t id = personAt(list_->indexOfTopLevelItem(list_->currentItem()));
  if (!id || status < 0 || status > 2) return false;
  store::Session& s = session();
  maintenance::StatusChange change(s, s.ForumNumber,
                                   {maintenance::StatusScope::Person, id, static_cast<uint8_t>(status), false});
  while (change.step()) {
  }
  if (change.failed()) s.tell(change.error(), "Status");
  reload();
  // The browse draws the partner's mails in the new colour.
  if (!change.failed() && s.ForumType == store::KindMail) post(frame_.registry().get("BrowseMail"), NoteReloadKeep);
  return !change.failed();
}

void PersonsWindow::popup(const QPoint& at) {
  if (!list_->itemAt(at)) return;
  list_->setCurrentItem(list_->itemAt(at));
  QMenu menu(this);
  const QStringList choices = statusChoices();
  for (int i = 0; i < 3; ++i) menu.addAction(choices[i], this, [this, i] { setStatus(i); });
  menu.addSeparator();
  menu.addAction("Merge duplicates", this, [this] { frame_.openOrRaise("Duplicates"); });
  menu.exec(list_->viewport()->mapToGlobal(at));
}

void PersonsWindow::notify(int code, int) {
  if (code == NoteReloadList || code == NoteReloadKeep) reload();
}

}  // namespace qb::app
