#include "device/filter_channel.h"

#include <gtest/gtest.h>

#include <condition_variable>

#include "support/sim_world.h"

namespace keyrig::device {
namespace {

using test::Bytes;

// A subscriber that records what it is given and consumes events when told to.
class Recorder {
  public:
    explicit Recorder(int consume = 0) : consume_(consume) {}

    int OnKey(uint32_t usagePage, uint32_t usageId, uint32_t pressed) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back({usagePage, usageId, pressed});
        }
        changed_.notify_all();
        return consume_;
    }

    // Waits for `count` events in all, at most a generous while.
    std::vector<std::array<uint32_t, 3>> WaitFor(size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(5), [&] { return events_.size() >= count; });
        return events_;
    }

    std::vector<std::array<uint32_t, 3>> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    const int consume_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::array<uint32_t, 3>> events_;
};

class FilterChannelTest : public test::SimWorldTest {
  protected:
    void Assign(std::initializer_list<KeyCode> codes) {
        for (const KeyCode code : codes) {
            store.Put({code, KindSingleKey, PlaySingleKey, 1, "", "", {}});
        }
        channel->SetKeyList(store);
    }
    void Listen(Recorder& recorder) {
        channel->AddMonitor(&recorder, &Recorder::OnKey);
        ASSERT_TRUE(channel->OpenDevice());
        ASSERT_TRUE(channel->StartListener());
        ASSERT_TRUE(world->WaitForKeyRequest(std::chrono::seconds(5)));
    }

    // Subscribers outlive the channel that calls them.
    Recorder recorder;
    Recorder older;
    Recorder consuming{1};
    KeyAssignmentStore store;
    std::unique_ptr<FilterChannel> channel = std::make_unique<FilterChannel>();
};

TEST_F(FilterChannelTest, KeyListHoldsEightBitNumbersAndAtMost256Keys) {
    KeyAssignments assignments;
    for (uint32_t i = 0; i < 300; ++i) {
        assignments.push_back({0x00070000 + i, 1, 1, 1, "", "", {}});
    }
    assignments[0].code = 0x000C0223;
    const auto list = BuildKeyList(assignments);
    EXPECT_EQ((std::vector<uint8_t>(list.begin(), list.begin() + 8)),
              Bytes({0x23, 0, 0x0C, 2, 0x01, 0, 0x07, 2}));
    EXPECT_EQ(list[255 * 4 + 3], 2);

    ASSERT_TRUE(channel->OpenDevice());
    for (const KeyAssignment& each : assignments) {
        store.Put(each);
    }
    channel->SetKeyList(store);
    const auto sent = world->Log().back();
    EXPECT_EQ(sent.kind, "filter.ioctl");
    EXPECT_EQ(sent.code, IOCTL_VHIDFLT_SET_KEYS);
    EXPECT_EQ(sent.bytes.size(), 1024u);
    EXPECT_EQ(world->FilterKeyList().size(), 256u);
}

TEST_F(FilterChannelTest, ReportedKeysReachTheSubscriber) {
    Listen(recorder);
    Assign({0x00070004, 0x000C00E9});
    world->PressKey(0x00070004);
    world->ReleaseKey(0x00070004);
    world->PressKey(0x000C00E9);
    world->PressKey(0x00070005);  // not in the list: straight to the system
    const auto events = recorder.WaitFor(3);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], (std::array<uint32_t, 3>{7, 4, 1}));
    EXPECT_EQ(events[1], (std::array<uint32_t, 3>{7, 4, 0}));
    EXPECT_EQ(events[2], (std::array<uint32_t, 3>{0x0C, 0xE9, 1}));
    EXPECT_EQ(world->Log().back().kind, "key.passthrough");
}

TEST_F(FilterChannelTest, KeyEventBytes) {
    struct Case {
        std::array<uint8_t, 4> bytes;
        uint16_t usageId;
        uint8_t usagePage;
        bool pressed;
    };
    for (const Case& c :
         {Case{{0x04, 0x00, 0x07, 0x01}, 4, 7, true}, Case{{0x04, 0x00, 0x07, 0x00}, 4, 7, false},
          Case{{0x04, 0x00, 0x07, 0x03}, 4, 7, true},
          Case{{0x23, 0x02, 0x0C, 0x02}, 0x223, 0x0C, false}}) {
        const KeyEvent event = KeyEvent::FromBytes(c.bytes);
        EXPECT_EQ(event.usageId, c.usageId);
        EXPECT_EQ(event.usagePage, c.usagePage);
        EXPECT_EQ(event.pressed(), c.pressed);
    }
}

TEST_F(FilterChannelTest, NewestSubscriberFirstAndAConsumedEventGoesNoFurther) {
    channel->AddMonitor(&older, &Recorder::OnKey);
    channel->AddMonitor(&consuming, &Recorder::OnKey);
    channel->AddMonitor(&consuming, &Recorder::OnKey);  // once only
    Listen(older);
    Assign({0x00070004});
    world->PressKey(0x00070004);
    EXPECT_EQ(consuming.WaitFor(1).size(), 1u);

    channel->RemoveMonitor(&consuming, &Recorder::OnKey);
    world->ReleaseKey(0x00070004);
    EXPECT_EQ(older.WaitFor(1).size(), 1u);
    EXPECT_EQ(consuming.events().size(), 1u);
}

TEST_F(FilterChannelTest, ASubscriberThatPassesLetsTheNextSeeTheSameEvent) {
    channel->AddMonitor(&recorder, &Recorder::OnKey);
    Listen(older);  // added last, so first
    Assign({0x00070004});
    world->PressKey(0x00070004);
    EXPECT_EQ(recorder.WaitFor(1), older.WaitFor(1));
}

TEST_F(FilterChannelTest, StartingTheListenerSendsTheTwoOpeningRequests) {
    ASSERT_TRUE(channel->OpenDevice());
    ASSERT_TRUE(channel->StartListener());
    const auto log = world->Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].code, IOCTL_VHIDFLT_802);
    EXPECT_EQ(log[1].code, IOCTL_VHIDFLT_803);
    channel->StopListener();
    EXPECT_FALSE(channel->listening());
}

TEST_F(FilterChannelTest, ReopeningWhileListeningMovesTheListenerToTheNewDevice) {
    Listen(recorder);
    Assign({0x00070004});
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(channel->OpenDevice());
    }
    channel->SetKeyList(store);
    ASSERT_TRUE(world->WaitForKeyRequest(std::chrono::seconds(5)));
    world->PressKey(0x00070004);
    EXPECT_EQ(recorder.WaitFor(1).size(), 1u);
}

TEST_F(FilterChannelTest, WithoutTheDriverEverythingReturnsAndTheListenerIdles) {
    world->SetFilterPresent(false);
    channel->AddMonitor(&recorder, &Recorder::OnKey);
    EXPECT_FALSE(channel->OpenDevice());
    EXPECT_TRUE(channel->StartListener());
    channel->SetKeyList(store);
    channel->Request(IOCTL_VHIDFLT_804, Bytes({0, 0, 0, 0}));
    EXPECT_FALSE(world->KeyRequestPending());
    channel.reset();  // stops, clears and closes without hanging
    EXPECT_TRUE(world->Log().empty());
}

TEST_F(FilterChannelTest, DestructionStopsTheListenerAndClearsTheKeyList) {
    Listen(recorder);
    Assign({0x00070004});
    channel.reset();
    EXPECT_TRUE(world->FilterKeyList().empty());
    const auto last = world->Log().back();
    EXPECT_EQ(last.code, IOCTL_VHIDFLT_SET_KEYS);
    EXPECT_EQ(last.bytes, std::vector<uint8_t>(256, 0));
    EXPECT_FALSE(world->KeyRequestPending());
}

}  // namespace
}  // namespace keyrig::device
