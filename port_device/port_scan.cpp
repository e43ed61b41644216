#include "port_device.h"

#include "port_class_pass.h"
#include "port_table.h"
#include "serial_map_pass.h"

extern "C" int port_device_scan(void)
{
    port_device::scan_port_class_devices();
    port_device::scan_serialcomm_map();
    port_device::picked_count = 0;
    return port_device::scanned_count;
}
