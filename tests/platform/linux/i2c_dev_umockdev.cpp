// The i2c-dev backend of the host I2C adapter against an emulated kernel (umockdev): a
// /dev/i2c-N node whose I2C_FUNCS and I2C_RDWR requests reach a simulated MIPI bridge.
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <umockdev.h>

#include <cerrno>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/logger.h"
#include "platform/linux/i2c_dev_adapter.h"
#include "sim/sim_i2c_adapter.h"
#include "transport/intel_mipi_host.h"

namespace orbisk::test {
namespace {

// One I2C adapter node of the emulated kernel. Its transfers go to `device`; `messages_done`,
// when set, is what the kernel answers for the number of messages it ran.
class EmulatedI2cAdapter {
  public:
    EmulatedI2cAdapter(int number, I2cAdapter& device, unsigned long functions)
        : device_(device),
          functions_(functions),
          testbed_(umockdev_testbed_new()),
          node_("/dev/i2c-" + std::to_string(number)) {
        if (!umockdev_in_mock_environment())
            throw std::runtime_error("the emulated kernel needs the umockdev preload library");
        const std::string name = "i2c-" + std::to_string(number);
        const std::string record = "P: /devices/platform/i2c-test/" + name + "/i2c-dev/" + name +
                                   "\nN: " + name + "\nE: DEVNAME=" + node_ +
                                   "\nE: SUBSYSTEM=i2c-dev\nA: dev=89:" + std::to_string(number) +
                                   "\\n\n\n";
        GError* error = nullptr;
        if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error))
            throw std::runtime_error(error ? error->message : "umockdev record rejected");
        handler_ = umockdev_ioctl_base_new();
        g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
        if (!umockdev_testbed_attach_ioctl(testbed_, node_.c_str(), handler_, &error))
            throw std::runtime_error(error ? error->message : "cannot attach the handler");
    }
    ~EmulatedI2cAdapter() {
        umockdev_testbed_detach_ioctl(testbed_, node_.c_str(), nullptr);
        g_object_unref(handler_);
        g_object_unref(testbed_);
    }

    int messages_done = -1;  // -1: as many as were given

  private:
    static UMockdevIoctlData* Resolve(UMockdevIoctlData* data, size_t offset, size_t length) {
        GError* error = nullptr;
        UMockdevIoctlData* child = umockdev_ioctl_data_resolve(data, offset, length, &error);
        if (error) g_error_free(error);
        return child;
    }

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        return static_cast<EmulatedI2cAdapter*>(self)->Handle(client);
    }

    gboolean Handle(UMockdevIoctlClient* client) {
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        if (request == I2C_FUNCS) {
            UMockdevIoctlData* out = Resolve(arg, 0, sizeof(unsigned long));
            *reinterpret_cast<unsigned long*>(out->data) = functions_;
            umockdev_ioctl_client_complete(client, 0, 0);
            g_object_unref(out);
            return TRUE;
        }
        if (request != I2C_RDWR) return FALSE;
        UMockdevIoctlData* rdwr = Resolve(arg, 0, sizeof(i2c_rdwr_ioctl_data));
        const auto* request_data = reinterpret_cast<i2c_rdwr_ioctl_data*>(rdwr->data);
        const size_t count = request_data->nmsgs;
        UMockdevIoctlData* msgs =
            Resolve(rdwr, offsetof(i2c_rdwr_ioctl_data, msgs), count * sizeof(i2c_msg));
        std::vector<UMockdevIoctlData*> buffers;
        std::vector<I2cMessage> messages;
        for (size_t i = 0; i < count; ++i) {
            const auto* m = reinterpret_cast<i2c_msg*>(msgs->data) + i;
            UMockdevIoctlData* buffer =
                Resolve(msgs, i * sizeof(i2c_msg) + offsetof(i2c_msg, buf), m->len);
            buffers.push_back(buffer);
            messages.push_back({m->addr, (m->flags & I2C_M_RD) != 0, buffer->data, m->len});
        }
        const HResult hr = device_.Transfer(messages);
        if (hr != kOk)
            umockdev_ioctl_client_complete(client, -1, ENXIO);
        else
            umockdev_ioctl_client_complete(
                client, messages_done >= 0 ? messages_done : static_cast<long>(count), 0);
        for (UMockdevIoctlData* buffer : buffers) g_object_unref(buffer);
        g_object_unref(msgs);
        g_object_unref(rdwr);
        return TRUE;
    }

    I2cAdapter& device_;
    unsigned long functions_;
    UMockdevTestbed* testbed_;
    UMockdevIoctlBase* handler_ = nullptr;
    std::string node_;
};

struct HostBus {
    VirtualClock clock;
    Logger logger{clock, nullptr};
    sim::SimBridge bridge{[] {
                              sim::BridgeSettings s;
                              s.present = true;
                              return s;
                          }(),
                          {}};
    sim::SimBridgeI2cAdapter device{bridge, clock};
};

TEST(I2cDevAdapterTest, TheBridgeOnAHostAdapterAnswersTheMailboxCommands) {
    HostBus bus;
    EmulatedI2cAdapter kernel(3, bus.device, I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL);
    std::string error;
    auto adapter = I2cDevAdapter::Open("i2c-3", &error);
    ASSERT_NE(adapter, nullptr) << error;
    CIntelMipiHost host(std::move(adapter), bus.logger);
    const std::vector<uint8_t> data = {0xDE, 0xAD, 0xBE, 0xEF};
    ASSERT_EQ(host.WriteMem(0x1234, 4, data.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> back(4);
    ASSERT_EQ(host.ReadMem(0x1234, 4, back.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(back, data);
}

TEST(I2cDevAdapterTest, AShortTransferAndAMissingAcknowledgeFail) {
    HostBus bus;
    EmulatedI2cAdapter kernel(1, bus.device, I2C_FUNC_I2C);
    std::string error;
    auto adapter = I2cDevAdapter::Open("/dev/i2c-1", &error);
    ASSERT_NE(adapter, nullptr) << error;
    uint8_t status = 0;
    ASSERT_EQ(I2cReadRegister(*adapter, 0x3C, 0x0200, &status, 1), kOk);
    // The kernel ran one of the two messages: the read did not happen.
    kernel.messages_done = 1;
    EXPECT_EQ(I2cReadRegister(*adapter, 0x3C, 0x0200, &status, 1), ResultFromErrno(EIO));
    kernel.messages_done = -1;
    // Nobody at address 0x50.
    EXPECT_EQ(I2cReadRegister(*adapter, 0x50, 0x0200, &status, 1), ResultFromErrno(ENXIO));
    // An address beyond 7 bits never reaches the kernel.
    EXPECT_EQ(I2cReadRegister(*adapter, 0x78 << 1, 0x0200, &status, 1), kInvalidArg);
}

TEST(I2cDevAdapterTest, AnAdapterThatIsMissingOrCannotCombineIsRefused) {
    HostBus bus;
    EmulatedI2cAdapter smbus_only(2, bus.device, I2C_FUNC_SMBUS_BYTE_DATA);
    struct Case {
        const char* name;
        const char* reason;
    };
    for (const Case& c :
         {Case{"7", "/dev/i2c-7"}, Case{"2", "combined"}, Case{"sensor", "names no I2C adapter"}}) {
        std::string error;
        EXPECT_EQ(I2cDevAdapter::Open(c.name, &error), nullptr) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace orbisk::test
