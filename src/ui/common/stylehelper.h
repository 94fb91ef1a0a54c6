#pragma once
// Style sheet plumbing shared by every window: each window binds its own
// files in the themes folder (see Theme), and dynamic properties that the
// style sheets match on are applied with a re-polish so the change is
// visible at once.

#include <QStringList>
#include <QVariant>

class QWidget;

// Sets the style sheet of `widget` from `files` now and on every reload of the theme.
void BindStyleSheet(QWidget* widget, const QStringList& files);

// Re-evaluates the style sheet rules of `widget` after a property change.
void Repolish(QWidget* widget);

// Sets a dynamic property and re-polishes the widget when the value changed.
void SetStyleProperty(QWidget* widget, const char* name, const QVariant& value);

// Gives every line edit under `root` (and `root` itself) the muted placeholder
// colour of the design; style sheets cannot reach that palette role.
void ApplyPlaceholderColor(QWidget* root);
