// The image of a volume against its own log: whatever sequence of writes,
// patches and deletions built it, replaying the log gives the same image.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "../volume_state.h"

namespace {

using cedb::PropView;
using cedb::VolumeState;

std::vector<PropView> Props(const std::map<std::uint32_t, std::string>& values) {
  std::vector<PropView> out;
  for (const auto& kv : values) {
    PropView p;
    p.propid = kv.first;
    if (cedb::IsVariableType(LOWORD(kv.first))) {
      p.data = kv.second.data();
      p.size = kv.second.size();
    } else {
      p.fixed = kv.second.size();
    }
    out.push_back(p);
  }
  return out;
}

std::string Mutate(std::string v, std::mt19937* rng, bool even) {
  std::size_t at = v.empty() ? 0 : (*rng)() % v.size();
  std::size_t n = 2 * ((*rng)() % 20);
  switch ((*rng)() % 5) {
    case 0: v.insert(at, std::string(n, static_cast<char>('a' + (*rng)() % 26))); break;
    case 1: v.erase(at, n); break;
    case 2: if (at < v.size()) v[at] = static_cast<char>(v[at] ^ 1); break;
    case 3: v = std::string(n, 'z'); break;
    default: break;  // unchanged
  }
  if (even && v.size() % 2) v.pop_back();
  return v;
}

TEST(VolumeState, ReplayingTheLogGivesTheSameImage) {
  constexpr std::uint32_t kUint = MAKELONG(CEVT_UI4, 0), kBlob = MAKELONG(CEVT_BLOB, 1),
                          kText = MAKELONG(CEVT_LPWSTR, 2), kInt = MAKELONG(CEVT_I4, 3);
  std::mt19937 rng(11);
  VolumeState state;
  std::string log;
  std::uint32_t db = state.AllocateOid();
  state.CreateDb(&log, db, u"db", 0, true, kUint, 0);
  std::map<std::uint32_t, std::map<std::uint32_t, std::string>> model;
  for (int step = 0; step < 3000; ++step) {
    unsigned op = rng() % 10;
    if (op < 2 || model.empty()) {
      std::uint32_t oid = state.AllocateOid();
      std::map<std::uint32_t, std::string> values{{kUint, std::string(rng() % 50, 'n')},
                                                  {kBlob, std::string(rng() % 3000, 'b')}};
      state.WriteRecord(&log, db, oid, Props(values));
      model[oid] = values;
      continue;
    }
    auto it = model.begin();
    std::advance(it, rng() % model.size());
    if (op == 2) {
      state.DeleteRecord(&log, db, it->first);
      model.erase(it);
      continue;
    }
    std::map<std::uint32_t, std::string>& values = it->second;
    values[kBlob] = Mutate(values[kBlob], &rng, false);
    if (rng() % 4 == 0) values[kText] = Mutate(values.count(kText) ? values[kText] : "", &rng, true);
    if (rng() % 5 == 0) values.erase(kText);
    if (rng() % 3 == 0) values[kUint] = std::string(rng() % 50, 'n');  // renumbers: the key changes
    if (rng() % 6 == 0) values[kInt] = std::string(rng() % 7, 'i');
    state.WriteRecord(&log, db, it->first, Props(values));
  }
  EXPECT_EQ(state.CheckInvariants(), "");
  ASSERT_TRUE(VolumeState::ValidateBatch(log.data(), log.size()));
  VolumeState replayed;
  replayed.ApplyBatch(log.data(), log.size());
  EXPECT_EQ(replayed.CheckInvariants(), "");
  ASSERT_EQ(replayed.FindDb(db)->order.entries().size(), model.size());
  for (const auto& kv : model) {
    const cedb::Record* a = state.FindRecord(kv.first);
    const cedb::Record* b = replayed.FindRecord(kv.first);
    ASSERT_TRUE(a && b) << kv.first;
    EXPECT_EQ(a->props, b->props);
    std::string expected;
    cedb::EncodeViews(Props(kv.second), &expected);
    EXPECT_EQ(a->props, expected);
  }
  EXPECT_EQ(state.FindDb(db)->order.entries(), replayed.FindDb(db)->order.entries());
  // The snapshot of the image replays to the same image as well.
  std::string snapshot;
  ASSERT_TRUE(state.WriteSnapshot([&](const char* d, std::size_t n) { snapshot.append(d, n); return true; }));
  EXPECT_EQ(snapshot.size(), state.SnapshotSize());
  VolumeState from_snapshot;
  from_snapshot.ApplyBatch(snapshot.data(), snapshot.size());
  EXPECT_EQ(from_snapshot.FindDb(db)->order.entries(), replayed.FindDb(db)->order.entries());
  for (const auto& kv : model) EXPECT_EQ(from_snapshot.FindRecord(kv.first)->props, state.FindRecord(kv.first)->props);
}

}  // namespace
