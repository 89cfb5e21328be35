// The key filter of the dialog's number edits: a key that types a character
// other than a digit (or a minus sign, where the number may be negative) is
// dropped. Keys that type no character (moving, deleting, Tab, Enter,
// Escape, shortcuts) always pass, so the edit still works as usual; what the
// edit holds is checked when it is read, not here.
#pragma once

#include <QObject>

class QLineEdit;
class QString;

namespace korvana::app {

class NumberEditKeyFilter final : public QObject {
  Q_OBJECT

 public:
  enum class Sign { none, minusAllowed };

  /// Filters the keys typed into `edit`; the filter belongs to the edit.
  static void install(QLineEdit* edit, Sign sign);

  /// True when a key that types `typed` is let through.
  static bool passes(const QString& typed, Sign sign);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  NumberEditKeyFilter(Sign sign, QObject* parent);

  Sign sign_;
};

}  // namespace korvana::app
