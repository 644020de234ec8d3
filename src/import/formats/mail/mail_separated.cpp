#include "import/formats/mail/mail_separated.h"

namespace qb::import::mail {

// Passes over one line, or one byte when the reader stands at a boundary
// that is not a message start (cutLine would not move then).
void SeparatedReader::skipUnit() {
  uint64_t before = in_.position();
  cutLine(scratch_);
  if (in_.position() == before) in_.advance(1);
}

bool SeparatedReader::nextMessage() {
  if (pendingFirst_) {
    pendingFirst_ = false;
    if (!in_.atEnd()) {
      state_ = State::Entered;
      seeking_ = seeksHeader();
      return true;
    }
  }
  // The rest of the current message.
  if (state_ != State::None) {
    if (state_ == State::Entered && separatorIsFirstLine()) skipUnit();
    while (!in_.atEnd() && !atMessageEnd()) skipUnit();
    state_ = State::None;
  }
  while (!in_.atEnd()) {
    if (atMessageStart()) {
      enterMessage();
      if (in_.atEnd()) break;  // a separator that ends the file
      state_ = State::Entered;
      seeking_ = seeksHeader();
      return true;
    }
    skipUnit();
  }
  return false;
}

bool SeparatedReader::nextLine(std::string& line) {
  if (state_ == State::None) return false;
  if (state_ == State::Entered) {
    state_ = State::In;
    if (separatorIsFirstLine() && !seeking_) return readLine(line);
  }
  for (;;) {
    if (in_.atEnd() || atMessageEnd()) {
      state_ = State::None;
      return false;
    }
    readLine(line);
    if (!seeking_ || headerStart(line)) {
      seeking_ = false;
      return true;
    }
  }
}

}  // namespace qb::import::mail
