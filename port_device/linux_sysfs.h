// Reading sysfs for the Linux port sources (internal).
#pragma once

namespace port_device {

// Reads sysfs below root instead of "/" (tests point it at a fixture tree; null restores "/").
void set_sysfs_root(const char* root);

}  // namespace port_device
