// The table every control is reached through, by its fixed id.
#include "ui/control_table.h"

#include <array>

namespace {

struct ControlRecord {
    GtkWidget* widget = nullptr;
    ControlKind kind = ControlKind::Label;
};
std::array<ControlRecord, ControlCount> Controls;

bool validId(int id) {
    return id >= 0 && id < ControlCount;
}

} // namespace

GtkWidget* controlWidget(int id) {
    return validId(id) ? Controls[id].widget : nullptr;
}

ControlKind controlKind(int id) {
    return validId(id) ? Controls[id].kind : ControlKind::Label;
}

void registerControl(int id, GtkWidget* widget, ControlKind kind) {
    if (validId(id)) Controls[id] = ControlRecord{widget, kind};
}

void unregisterControl(int id) {
    if (validId(id)) Controls[id] = ControlRecord{};
}
