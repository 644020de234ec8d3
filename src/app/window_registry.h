#pragma once
// The registry of open windows by name and group: create, destroy, get by
// name, query a group and close every window of a group.

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace qb::app {

inline const char* const kNotToolsGroup = "NotToolsGroup";
inline const char* const kFindGroup = "FindGroup";
inline const char* const kImportGroup = "ImportGroup";

class WindowRegistry {
 public:
  void create(QWidget* w, const QString& group, const QString& name);  // TmCreate
  void destroy(QWidget* w);                                            // TmDestroy
  QWidget* get(const QString& name) const;                             // TmGetId
  bool query(const QString& group) const;                              // TmQuery
  void destroyGroup(const QString& group);                             // TmDestroyGroup
  QStringList names() const;

 private:
  struct Entry {
    QPointer<QWidget> w;
    QString group, name;
  };
  void prune();
  QList<Entry> entries_;
};

}  // namespace qb::app
