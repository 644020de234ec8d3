#pragma once
// The header block above the text of the highlighted message: sender and
// recipients with their addresses, further recipients, date and time, the
// forum and section or the newsgroup, the subject, and (in forum
// databases) the message number with the number of the message it answers.
// The text can be selected and copied.

#include <QLabel>

#include "archive/browse/browse_header.h"

namespace qb::app {

class MessageHeaderView : public QLabel {
  Q_OBJECT
 public:
  explicit MessageHeaderView(QWidget* parent = nullptr);
  // Shows `h`; message numbers only when `numbers` (forum databases).
  void setHeader(const store::MessageHeader& h, bool numbers);
  void clearHeader();
  // The lines shown, "Label: value" each (for tests and the clipboard).
  QStringList lines() const { return lines_; }

 private:
  QStringList lines_;
};

}  // namespace qb::app
