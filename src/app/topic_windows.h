#pragma once
// The topic windows: the code list "BrowseTopics" ("List of Topics" and
// "List of Key Words") with the code form in its three modes, and the
// classify tree "Classify" that files the browse's current message under
// topics. The work is the engine's (index/topics.h).

#include <QDialog>
#include <cstdint>

#include "app/tool_window.h"
#include "index/topics.h"

class QCheckBox;
class QLineEdit;
class QTabBar;
class QTableWidget;
class QTreeWidget;

namespace qb::app {

// The code form: add, change or delete one topic or key word.
class CodeForm : public QDialog {
  Q_OBJECT
 public:
  enum Mode { Add, Change, Delete };
  CodeForm(QWidget* parent, store::Session& s, uint8_t type, Mode mode, const store::Codes& code = {});
  void accept() override;  // stays open when the engine refuses

  QLineEdit* text() const { return text_; }
  QCheckBox* matchCase() const { return case_; }
  QCheckBox* wholeWord() const { return word_; }

 private:
  store::Session& s_;
  uint8_t type_;
  Mode mode_;
  store::Codes code_;
  QLineEdit* text_ = nullptr;
  QCheckBox* case_ = nullptr;
  QCheckBox* word_ = nullptr;
};

class CodeListWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit CodeListWindow(MainFrame& frame);
  void setType(uint8_t type);  // 2 topics, 1 key words
  uint8_t type() const { return type_; }
  QTableWidget* table() const { return table_; }
  void refresh();
  // Applies the key words to the message texts (with a progress dialog).
  void applyKeyWords();

 protected:
  void notify(int code, int arg) override;

 private:
  void edit(CodeForm::Mode mode);
  uint8_t type_ = 2;
  QTabBar* tabs_ = nullptr;
  QTableWidget* table_ = nullptr;
  QWidget* apply_ = nullptr;
};

class ClassifyWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit ClassifyWindow(MainFrame& frame);
  // The topics of the browse's current message.
  void refresh();
  uint32_t message() const { return message_; }
  QTreeWidget* tree() const { return tree_; }

 protected:
  void notify(int code, int arg) override;

 private:
  uint32_t currentMessage();
  QTreeWidget* tree_ = nullptr;
  uint32_t message_ = 0;
  bool filling_ = false;
};

}  // namespace qb::app
