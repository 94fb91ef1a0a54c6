#pragma once
// Style sheet plumbing shared by every window: each window names its own
// files in the themes folder and is restyled when the application asks for a
// reload, and dynamic properties that the style sheets match on are applied
// with a re-polish so the change is visible at once.

#include <QStringList>
#include <QVariant>

class QWidget;

// Reads the concatenated text of the named style sheets from the themes folder.
QString LoadStyleSheets(const QStringList& files);

// Sets the style sheet of `widget` from `files` now and on every reload request.
void BindStyleSheet(QWidget* widget, const QStringList& files);

// Re-evaluates the style sheet rules of `widget` after a property change.
void Repolish(QWidget* widget);

// Sets a dynamic property and re-polishes the widget when the value changed.
void SetStyleProperty(QWidget* widget, const char* name, const QVariant& value);

// Gives every line edit under `root` (and `root` itself) the muted placeholder
// colour of the design; style sheets cannot reach that palette role.
void ApplyPlaceholderColor(QWidget* root);
