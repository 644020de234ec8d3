#include "app/message_header_view.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include "app/gui_ui.h"
#include "text/datetime.h"

namespace qb::app {

namespace {

QString person(const store::HeaderPerson& p) {
  const QString name = shown(p.name).trimmed(), address = shown(p.address).trimmed();
  if (name.isEmpty()) return address.isEmpty() ? QString() : "<" + address + ">";
  if (address.isEmpty()) return name;
  return name + " <" + address + ">";
}

QString when(int32_t day, int32_t time) {
  if (day <= 0) return {};
  int y, m, d;
  text::calendarDate(day, y, m, d);
  QString t = QLocale().toString(QDate(y, m, d), "ddd d MMM yyyy");
  if (time > 0) {
    int h, mi, sec;
    text::clockTime(time, h, mi, sec);
    t += "  " + QLocale().toString(QTime(h, mi, sec), QLocale::ShortFormat);
  }
  return t;
}

}  // namespace

MessageHeaderView::MessageHeaderView(QWidget* parent) : QLabel(parent) {
  setObjectName("MessageHeader");
  setTextFormat(Qt::RichText);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setMargin(4);
  setFrameShape(QFrame::StyledPanel);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
}

void MessageHeaderView::clearHeader() {
  lines_.clear();
  clear();
}

void MessageHeaderView::setHeader(const store::MessageHeader& h, bool numbers) {
  lines_.clear();
  if (!h.found) {
    clear();
    return;
  }
  QList<QPair<QString, QString>> rows;
  auto add = [&](const QString& label, const QString& value) {
    if (!value.isEmpty()) rows.append({label, value});
  };
  add("From", person(h.from));
  add("To", person(h.to));
  QStringList cc;
  for (const auto& p : h.cc) cc << person(p);
  cc.removeAll(QString());
  add("Cc", cc.join(", "));
  add("Date", when(h.date, h.time));
  add("Subject", shown(h.subject).trimmed());
  add("Newsgroups", shown(h.newsgroup).trimmed());
  add("Forum", shown(h.forum).trimmed());
  add("Section", shown(h.section).trimmed());
  if (numbers && h.number) {
    QString n = QString::number(h.number);
    if (h.replyTo) n += QString(", a reply to %1").arg(h.replyTo);
    add("Message", n);
  }
  QString html = "<table cellspacing='0' cellpadding='1'>";
  for (const auto& [label, value] : rows) {
    lines_ << label + ": " + value;
    html += "<tr><td><b>" + label.toHtmlEscaped() + ":</b>&nbsp;</td><td>" + value.toHtmlEscaped() + "</td></tr>";
  }
  html += "</table>";
  setText(html);
}

}  // namespace qb::app
