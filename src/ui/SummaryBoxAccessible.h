#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// The accessibility factory for the summary box: assistive technology reads it as read-only
// multi-line text with its whole text, its selection and its lines. Installed once by the box.
QAccessibleInterface* summaryBoxAccessibleFactory(const QString& className, QObject* object);
