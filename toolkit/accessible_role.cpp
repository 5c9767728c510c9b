#include "toolkit/accessible_role.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace tavro::ui {

namespace {

constexpr const char* kRoleProperty = "tavroAccessibleRole";

// Asked for each class of an object, the most derived first: the first answers.
QAccessibleInterface* roleFromProperty(const QString&, QObject* object)
{
    if (object == nullptr || !object->isWidgetType())
        return nullptr;
    const QVariant role = object->property(kRoleProperty);
    if (!role.isValid())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object),
                                 static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

void setAccessibleRole(QWidget* widget, QAccessible::Role role)
{
    static const bool installed = (QAccessible::installFactory(roleFromProperty), true);
    (void)installed;
    widget->setProperty(kRoleProperty, static_cast<int>(role));
}

}  // namespace tavro::ui
