#pragma once

namespace port_device {

// Empties the table and refills it from the present ports-class devices that carry a COM name;
// leaves the table as it was when the device list cannot be had.
void scan_port_class_devices();

}  // namespace port_device
