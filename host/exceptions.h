// The host's failure kinds. They travel as C++ exceptions across the boundary between the
// component and the host (both link the same C++ runtime DLLs), and the host catches them per operation.
#pragma once

#include "zorb/exception.h"

namespace velmora_io {

ZORB_DECLARE_EXCEPTION(exception_io, zorb::exception, "Generic I/O error");
ZORB_DECLARE_EXCEPTION(exception_io_not_found, exception_io, "Object not found");
ZORB_DECLARE_EXCEPTION(exception_io_denied, exception_io, "Access denied");
ZORB_DECLARE_EXCEPTION(exception_io_no_handler_for_path, exception_io, "Unsupported file path");
ZORB_DECLARE_EXCEPTION(exception_io_object_not_seekable, exception_io, "Object is not seekable");
ZORB_DECLARE_EXCEPTION(exception_io_data, exception_io, "Unsupported format or corrupted file");
ZORB_DECLARE_EXCEPTION(exception_io_unsupported_format, exception_io_data, "Unsupported file format");
ZORB_DECLARE_EXCEPTION(exception_io_bad_subsong_index, exception_io_data, "Unexpected subsong index");
// Data that ends before a field it must hold.
ZORB_DECLARE_EXCEPTION(exception_io_data_truncation, exception_io_data, "Unsupported format or corrupted file");
// The system refused to open a file that another program holds open without sharing it; trying
// again later may succeed. The text is the system's own message where it gives one.
ZORB_DECLARE_EXCEPTION(exception_io_sharing_violation, exception_io, "File is already in use");
ZORB_DECLARE_EXCEPTION(exception_aborted, zorb::exception, "User abort");

}  // namespace velmora_io

ZORB_DECLARE_EXCEPTION(exception_service_not_found, zorb::exception, "Service not found");
ZORB_DECLARE_EXCEPTION(exception_service_duplicated, zorb::exception, "Service duplicated");

// A Windows call that failed; carries the system's error code (GetLastError) at the failure.
class exception_win32 : public zorb::exception {
public:
    explicit exception_win32(unsigned long code)
        : zorb::exception("Windows error " + std::to_string(code)), code_(code) {}
    unsigned long code() const { return code_; }

private:
    unsigned long code_;
};
