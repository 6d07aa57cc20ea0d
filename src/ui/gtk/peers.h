// The peer makers of each group of controls; MakePeer asks them in turn. A new kind of
// control is one peer class in its group's file and one case of the group's maker.
#pragma once

#include <memory>

#include "ui/gtk/gtk_peer.h"

namespace ryn::ui::gtk {

std::unique_ptr<GtkPeer> MakeSimplePeer(Control& control);
std::unique_ptr<GtkPeer> MakeListPeer(Control& control);
std::unique_ptr<GtkPeer> MakePagePeer(Control& control);
std::unique_ptr<GtkPeer> MakeFormPeer(Control& control);

}  // namespace ryn::ui::gtk
