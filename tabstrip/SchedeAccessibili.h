#pragma once

namespace brisko {

/// Installs, once per process, the factory that shows the tab strip to
/// assistive technology as a list of page tabs: each tab a child named by
/// its caption (the access-key "&" taken out), selected when it is the
/// selected tab, followed by the widgets the control holds.
void InstallaSchedeAccessibili();

}  // namespace brisko
