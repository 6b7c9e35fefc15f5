// The back end for a bus that is not there: the program must see the
// same failure it would get with the adapter unplugged from USB.
#include "backend.h"
#include "qxiic.h"

namespace qxiic {
namespace {

class AbsentBackend : public Backend {
public:
	unsigned short sendSub(int, int, int, const std::uint8_t *, int) override
	{
		return QXIIC_DEVICE_NOT_FOUND;
	}
	unsigned short receiveSub(int, int, int, std::uint8_t *, int) override
	{
		return QXIIC_DEVICE_NOT_FOUND;
	}
	unsigned short receive(int, std::uint8_t *, int) override
	{
		return QXIIC_DEVICE_NOT_FOUND;
	}
};

} // namespace

std::unique_ptr<Backend> MakeAbsentBackend()
{
	return std::make_unique<AbsentBackend>();
}

} // namespace qxiic
