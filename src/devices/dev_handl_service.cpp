#include "devices/dev_handl_service.h"

namespace qv {

TDevHandlService* DevHandlService = nullptr;

}  // namespace qv
