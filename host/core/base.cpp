#include "host/core/base.h"

namespace qrvn {
namespace core {

Base::~Base() = default;

void DeallocateArrayInternal(char* array) { delete[] array; }

}  // namespace core
}  // namespace qrvn
