#include "app/help_window.h"

#include <QVBoxLayout>

#include "app/main_frame.h"
#include "app/window_registry.h"

namespace qb::app {

QString helpPages() {
  return QStringLiteral(R"(
<h2><a name="~What_is_Quillbox_"></a>Quillbox</h2>
<p>Quillbox keeps the messages of forum captures, newsreader stores and mailboxes in an archive of
databases: forum databases, newsgroup databases and mail databases. The frame shows the browse of the
active database; its name is in the title bar.</p>
<h3><a name="~Browsing_CompuServe_Forum_messages"></a><a name="~Browsing_Usenet_Newsgroup_Messages"></a>
<a name="~Browsing_Mail_Messages"></a>Browsing messages</h3>
<p>The tabs choose the view: a sort order of the whole database (date, message number, subject) or a
subset (a thread, a section, a sender, a receiver, a mail partner). In a subset view the filter buttons of
the toolbar take the highlighted row's thread, section or person as the filter, and step to the previous or
next one. In the date view type a date (year-month-day) and press Enter to go there; in the number view
type a message number.</p>
<p>Rows are drawn in the keep colour or the delete colour by their status and the status of their
thread, section (mail: partner) and database. Click the right mouse button on a row to set a status.
Ctrl+C copies the highlighted message to the clipboard.</p>
<p>Long texts are shown in pages of 24000 characters; "Previous page" and "Next page" turn them.
"Set BookMark" remembers the view and the message; "Reset to BookMark" returns to them.</p>
<h3><a name="~The_Thread_Tree_Window"></a>The thread tree</h3>
<p>The thread tree shows the thread of the highlighted message as a tree of replies. Double-click a
line to go to that message. PgUp, PgDn, Up and Down move the browse.</p>
<h3><a name="~Database_Selection"></a>Changing the active database</h3>
<p>"Change Active Database" lists every database by name or by directory. Double-click a row to make it
active. Delete (or Ctrl+D) marks a database for deletion, Ctrl+K for keeping, Ctrl+N clears the mark. Click
the right mouse button to allow or disallow imports or to rename the database.</p>
<h3><a name="~Mail_Database_Setup"></a>Mail database setup</h3>
<p>"Insert" creates a mail database for an owner with a default address and up to ten alternative
addresses; "Update" changes them.</p>
<h3><a name="~How_to_use_help"></a>How to use help</h3>
<p>Choose a topic from the Help menu; this window shows it. Links move between the topics.</p>
<h3><a name="~Support_and_future_updates"></a>Support and future updates</h3>
<p>Quillbox is maintained with its source. Problems are reported with the steps that show them and,
where possible, a small sample of the file that was imported.</p>
)");
}

ToolWindow* HelpWindow::open(MainFrame& frame) {
  auto* w = new HelpWindow(frame);
  frame.addChild(w, QSize(520, 420));
  return w;
}

HelpWindow::HelpWindow(MainFrame& frame) : ToolWindow(frame, "Help", kNotToolsGroup, PlaceHelp) {
  setWindowTitle("Quillbox Help");
  auto* lay = new QVBoxLayout(this);
  view_ = new QTextBrowser(this);
  view_->setHtml(helpPages());
  lay->addWidget(view_);
}

void HelpWindow::showTopic(const QString& topic) { view_->scrollToAnchor(topic); }

}  // namespace qb::app
