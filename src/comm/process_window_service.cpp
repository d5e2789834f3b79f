#include "comm/process_window_service.h"

namespace qv {

TProcessWindowService* ProcessWindow = nullptr;
std::function<TProcessWindowService*()> ProcessWindowFactory;

}  // namespace qv
