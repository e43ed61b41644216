#pragma once

namespace port_device {

// Gives table entries their second device name from the serial-port map, and adds the ports
// that only the map lists while the table has room.
void scan_serialcomm_map();

}  // namespace port_device
