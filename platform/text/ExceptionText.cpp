#include "platform/text/ExceptionText.h"

#include <exception>
#include <new>

namespace platform {

std::string CurrentExceptionReason() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "an unexpected error";
  }
}

}  // namespace platform
