// The KeyWord, Topic and Search views of the browse windows: the messages
// of one indexed word, of one topic, and the result set of a search, with
// the search hits marked in the message text. The queries are the engine's
// (index/, archive/browse/browse_words.h); this file wires them to the
// window.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/display_settings.h"
#include "app/browse_window.h"
#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "archive/config.h"
#include "index/index_settings.h"
#include "index/topics.h"
#include "index/word_form.h"
#include "text/display_text.h"

namespace qb::app {

using namespace qb::store;

BrowseWindow::WordView BrowseWindow::wordView() const {
  const int first = mail_ ? 6 : 7;
  if (state_.view == first) return WordView::KeyWord;
  if (state_.view == first + 1) return WordView::Topic;
  if (state_.view == first + 2) return WordView::Search;
  return WordView::None;
}

void BrowseWindow::makeSetPager() {
  const WordView v = wordView();
  const auto kind = v == WordView::KeyWord ? SetQuery::Kind::KeyWord
                    : v == WordView::Topic ? SetQuery::Kind::Topic
                                           : SetQuery::Kind::Search;
  const uint32_t id = v == WordView::KeyWord ? wordId_ : v == WordView::Topic ? topicId_ : 0;
  setQuery_ = std::make_unique<SetQuery>(session(), mail_, kind, id, opts_);
  if (!setQuery_->ok()) session().tell("The word index cannot be read now.", "KeyWord");
}

void BrowseWindow::updateWordPrompt() {
  Session& s = session();
  const WordView v = wordView();
  prompt_->setText(v == WordView::KeyWord ? (mail_ ? "Filter KeyWord" : " Filter Key Word ")
                   : v == WordView::Topic ? (mail_ ? "Filter Topic" : " Filter Topic ")
                                          : "Search for");
  entry_->setEnabled(true);
  lookup_->setVisible(v != WordView::Search);
  entry_->setMaxLength(v == WordView::Search ? 256 : 40);
  if (v == WordView::KeyWord) {
    entry_->setToolTip(mail_ ? "View mail messages containing this key word" : "View messages containing this key word");
    lookup_->setToolTip("Look up keyword");
    WordList w;
    entry_->setText(wordId_ && indexedWordById(s, wordId_, w) ? shown(w.THEWORD.str()) : QString());
  } else if (v == WordView::Topic) {
    entry_->setToolTip(mail_ ? "View mail messages associated with this topic"
                             : "View messages associated with this topic");
    lookup_->setToolTip("Look up topic");
    QString name;
    for (const Codes& c : index::listCodes(s, index::TopicCode))
      if (c.ID == topicId_) name = shown(c.INDEX.str());
    entry_->setText(name);
  } else {
    entry_->setToolTip("Words to search for (a word ending in * stands for every word that begins with it); "
                       "right click the list to sort");
    entry_->setText(searchString_);
  }
}

bool BrowseWindow::showKeyWord(const QString& typed) {
  Session& s = session();
  WordList w;
  const std::string form = index::indexForm(typed.trimmed().toStdString());
  if (!lookUpIndexedWord(s, form, w)) {
    if (s.IndexingInProgress) s.tell("The word index is being built. Try again when indexing is done.", "KeyWord");
    else s.beep();
    return false;
  }
  wordId_ = static_cast<uint32_t>(w.WORDID);
  index::QueryWord q;
  q.WSWORD = w.THEWORD.str();
  query2_ = {q};
  phrase_ = false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  makePager();
  QApplication::restoreOverrideCursor();
  updatePrompt();
  reload(0);
  return true;
}

bool BrowseWindow::showTopic(const QString& typed) {
  Session& s = session();
  index::CodeLookup l = index::lookUpCode(s, index::TopicCode, typed.trimmed().toStdString());
  if (!l.found) {
    s.beep();
    return false;
  }
  uint32_t id = l.code.ID;
  if (!l.unique) {
    // Several topics match: the list opens on the candidate.
    QStringList names;
    std::vector<uint32_t> ids;
    int at = 0;
    for (const Codes& c : index::listCodes(s, index::TopicCode)) {
      if (c.ID == l.code.ID) at = static_cast<int>(names.size());
      names << shown(c.INDEX.str());
      ids.push_back(c.ID);
    }
    bool ok = false;
    QString pick = QInputDialog::getItem(this, "List of Topics", "Topic", names, at, false, &ok);
    if (!ok) return false;
    id = ids[static_cast<std::size_t>(names.indexOf(pick))];
  }
  topicId_ = id;
  query2_.clear();
  makePager();
  updatePrompt();
  reload(0);
  return true;
}

void BrowseWindow::wordLookUp() {
  Session& s = session();
  if (wordView() == WordView::Topic) {
    showTopic(entry_->text());
    return;
  }
  // The indexed words from what was typed on.
  const std::string form = index::indexForm(entry_->text().trimmed().toStdString());
  QStringList words;
  for (auto& [w, n] : indexedWordsFrom(s, form, 300)) words << shown(w) + "  (" + QString::number(n) + ")";
  if (words.isEmpty()) {
    if (s.IndexingInProgress) s.tell("The word index is being built. Try again when indexing is done.", "Look up keyword");
    else s.beep();
    return;
  }
  bool ok = false;
  QString pick = QInputDialog::getItem(this, "Look up keyword", "Word", words, 0, false, &ok);
  if (ok) showKeyWord(pick.section("  (", 0, 0));
}

bool BrowseWindow::runSearch(const QString& searchString, bool any, bool phrase) {
  Session& s = session();
  QString str = searchString.trimmed();
  // A search string in double quotes is a phrase.
  if (str.size() > 1 && str.startsWith('"') && str.endsWith('"')) {
    phrase = true;
    str = str.mid(1, str.size() - 2);
  }
  index::SearchRun run(s, str.toStdString(), {any, phrase});
  if (!run.start()) {
    s.tell(run.message(), "Search");
    return false;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  while (!run.finished()) {
    run.step(100);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (run.paused()) {
      QApplication::restoreOverrideCursor();
      Button b = s.ask("The search has read " + std::to_string(run.scanned()) +
                           " index entries so far.\r\nDo you want to go on searching?",
                       "Search", Button::Yes | Button::No, Button::Yes);
      QApplication::setOverrideCursor(Qt::WaitCursor);
      if (b == Button::Yes) run.resume();
      else run.cancel();
    }
  }
  QApplication::restoreOverrideCursor();
  std::string filtered;
  for (const index::QueryWord& w : run.words())
    if (w.FILTERED) filtered += (filtered.empty() ? "" : ", ") + w.WSWORD;
  std::vector<uint32_t> hits = run.results();
  // Shown in the order chosen last (newest first to begin with).
  hits = index::resortResults(s, hits, order_);
  if (!index::storeResultSet(s, hits)) return false;
  searchString_ = str;
  query2_ = run.words();
  phrase_ = phrase;
  tokeniser_ = std::make_unique<index::Tokeniser>(run.tokeniser());
  if (!filtered.empty()) s.tell("Left out of the search (stop words or not indexed): " + filtered, "Search");
  makePager();
  updatePrompt();
  reload(0);
  return true;
}

void BrowseWindow::resortResults(index::ResultOrder order) {
  if (order == order_) return;  // the current order: nothing to do
  Session& s = session();
  const ListRow* r = current();
  const uint32_t keep = r ? r->id() : 0;
  std::vector<uint32_t> ids = index::loadResultSet(s);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ids = index::resortResults(s, ids, order);
  bool ok = index::storeResultSet(s, ids);
  QApplication::restoreOverrideCursor();
  if (!ok) return;
  order_ = order;
  makePager();
  // The message that was current stays current.
  const int64_t pos = keep && setQuery_ ? setQuery_->positionOf(keep) : 0;
  reload(pos);
}

void BrowseWindow::sortMenu(const QPoint& at) {
  QMenu menu(this);
  for (index::ResultOrder o : index::resultOrders(mail_))
    menu.addAction(QString::fromStdString(index::resultOrderText(o, o == order_)), this,
                   [this, o] { resortResults(o); });
  menu.exec(list_->viewport()->mapToGlobal(at));
}

void BrowseWindow::findHits() {
  hits_.clear();
  hit_ = -1;
  const WordView v = wordView();
  const bool marks = (v == WordView::KeyWord || v == WordView::Search) && !query2_.empty() && !pages_.empty();
  prevHit_->setVisible(marks);
  nextHit_->setVisible(marks);
  if (!marks) return;
  if (!tokeniser_) {
    index::IndexOptions o = index::loadIndexOptions(session());
    tokeniser_ = std::make_unique<index::Tokeniser>(index::loadRuleSet(session(), o.ruleSet), o.tokens);
  }
  const std::string page = text_->toPlainText().toStdString();
  hits_ = index::hitPositions(page, query2_, phrase_, *tokeniser_);
  if (!hits_.empty()) hit_ = 0;
  showHit();
}

void BrowseWindow::moveHit(int dir) {
  if (hits_.empty()) return;
  hit_ = qBound(0, hit_ + dir, hitCount() - 1);
  showHit();
}

void BrowseWindow::showHit() {
  prevHit_->setEnabled(hit_ > 0);
  nextHit_->setEnabled(hit_ >= 0 && hit_ + 1 < hitCount());
  // Byte offsets of the UTF-8 page to character positions of the editor.
  const QByteArray page = text_->toPlainText().toUtf8();
  auto cursorOf = [&](const index::HitRange& h) {
    QTextCursor c(text_->document());
    c.setPosition(static_cast<int>(QString::fromUtf8(page.left(static_cast<int>(h.STARTPOS))).size()));
    c.setPosition(static_cast<int>(QString::fromUtf8(page.left(static_cast<int>(h.ENDPOS))).size()),
                  QTextCursor::KeepAnchor);
    return c;
  };
  // Every hit of the page is marked; the current one is selected.
  QList<QTextEdit::ExtraSelection> marks;
  for (const auto& h : hits_) {
    QTextEdit::ExtraSelection m;
    m.cursor = cursorOf(h);
    m.format.setBackground(QColor(255, 236, 120));
    m.format.setForeground(settingColour(session(), store::SetColour22, QColor(255, 0, 0)));
    marks << m;
  }
  text_->setExtraSelections(marks);
  if (hit_ < 0) return;
  text_->setTextCursor(cursorOf(hits_[static_cast<std::size_t>(hit_)]));
  text_->ensureCursorVisible();
}

QString BrowseWindow::selectedText() const { return text_->textCursor().selectedText(); }

}  // namespace qb::app
