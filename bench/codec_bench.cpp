// Encoding and decoding with the standard codec, next to three baselines on
// the same data: memcpy of as many bytes as the codec's encoding, msgpack
// packing and unpacking the equivalent value, and a deep copy plus
// destruction of what decoding builds (ModelCopy) - the floor of any decoder
// into this value model, which allocates a node per map entry and a heap
// string per long string.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <msgpack.hpp>
#include <string>
#include <vector>

#include "codec/byte_streams.h"
#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/standard_method_codec.h"
#include "tests/codec/sample_messages.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

enum class Kind { kValue, kCall, kReply };

struct Case {
  const char* name;
  Kind kind;
  EncodableValue value;  // For a call its arguments, for a reply its result.
  std::shared_ptr<flutter::MethodCall<EncodableValue>> call = nullptr;
};

std::vector<Case> Cases() {
  std::vector<uint8_t> bytes(1 << 20);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 31);
  std::vector<int64_t> longs(100000);
  for (size_t i = 0; i < longs.size(); ++i) longs[i] = int64_t(i) * 1000003;
  EncodableList mixed;
  for (int32_t i = 0; i < 10000; ++i) {
    switch (i % 4) {
      case 0:
        mixed.emplace_back(i);
        break;
      case 1:
        mixed.emplace_back(i * 0.5);
        break;
      case 2:
        mixed.emplace_back("item-" + std::to_string(i));
        break;
      default:
        mixed.emplace_back(i % 8 == 3);
        break;
    }
  }
  EncodableMap map;
  for (int32_t i = 0; i < 1000; ++i) {
    map[EncodableValue("key-" + std::to_string(i))] = EncodableValue(i);
  }
  return {
      {"EstablishTunnelCall", Kind::kCall,
       keelhaven_test::EstablishTunnelArguments(),
       std::make_shared<flutter::MethodCall<EncodableValue>>(
           "establishTunnel", std::make_unique<EncodableValue>(
                                  keelhaven_test::EstablishTunnelArguments()))},
      {"StatisticsReply", Kind::kReply,
       EncodableValue(EncodableMap{
           {EncodableValue("bytesDown"), EncodableValue(int64_t{73456789012})},
           {EncodableValue("bytesUp"), EncodableValue(int64_t{1234567890})}})},
      {"ByteList1MiB", Kind::kValue, EncodableValue(std::move(bytes))},
      {"Int64List100k", Kind::kValue, EncodableValue(std::move(longs))},
      {"MixedList10k", Kind::kValue, EncodableValue(std::move(mixed))},
      {"StringToInt32Map1k", Kind::kValue, EncodableValue(std::move(map))},
  };
}

// Answers nothing; decoding the envelope is what is measured.
class DiscardingResult : public flutter::MethodResult<EncodableValue> {
  void HandleSuccess(const EncodableValue* value) override {
    benchmark::DoNotOptimize(value);
  }
  void HandleError(const std::string&, const std::string&,
                   const EncodableValue*) override {}
  void HandleNotImplemented() override {}
};

const flutter::StandardMethodCodec& Codec() {
  return flutter::StandardMethodCodec::GetInstance();
}

std::unique_ptr<std::vector<uint8_t>> Encode(const Case& c) {
  switch (c.kind) {
    case Kind::kCall:
      return Codec().EncodeMethodCall(*c.call);
    case Kind::kReply:
      return Codec().EncodeSuccessEnvelope(&c.value);
    default: {
      auto bytes = std::make_unique<std::vector<uint8_t>>();
      flutter::ByteBufferStreamWriter writer(bytes.get());
      flutter::StandardCodecSerializer::GetInstance().WriteValue(c.value,
                                                                 &writer);
      return bytes;
    }
  }
}

void Decode(const Case& c, const std::vector<uint8_t>& bytes) {
  switch (c.kind) {
    case Kind::kCall:
      benchmark::DoNotOptimize(
          Codec().DecodeMethodCall(bytes.data(), bytes.size()));
      break;
    case Kind::kReply: {
      DiscardingResult result;
      Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result);
      break;
    }
    default: {
      flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
      benchmark::DoNotOptimize(
          flutter::StandardCodecSerializer::GetInstance().ReadValue(&reader));
    }
  }
}

// Builds and drops a copy of what Decode produces.
void CopyModel(const Case& c) {
  switch (c.kind) {
    case Kind::kCall:
      benchmark::DoNotOptimize(
          std::make_unique<flutter::MethodCall<EncodableValue>>(
              c.call->name(), std::make_unique<EncodableValue>(c.value)));
      break;
    default: {
      EncodableValue copy(c.value);
      benchmark::DoNotOptimize(copy);
    }
  }
}

// The same value in msgpack: typed lists become arrays (bytes: bin), a call
// [name, arguments], a reply [0, result].
void Pack(msgpack::packer<msgpack::sbuffer>& packer, const EncodableValue& v) {
  switch (v.index()) {
    case 1:
      std::get<bool>(v) ? packer.pack_true() : packer.pack_false();
      break;
    case 2:
      packer.pack_int32(std::get<int32_t>(v));
      break;
    case 3:
      packer.pack_int64(std::get<int64_t>(v));
      break;
    case 4:
      packer.pack_double(std::get<double>(v));
      break;
    case 5: {
      const auto& s = std::get<std::string>(v);
      packer.pack_str(uint32_t(s.size()))
          .pack_str_body(s.data(), uint32_t(s.size()));
      break;
    }
    case 6: {
      const auto& b = std::get<std::vector<uint8_t>>(v);
      packer.pack_bin(uint32_t(b.size()))
          .pack_bin_body(reinterpret_cast<const char*>(b.data()),
                         uint32_t(b.size()));
      break;
    }
    case 8: {
      const auto& list = std::get<std::vector<int64_t>>(v);
      packer.pack_array(uint32_t(list.size()));
      for (int64_t n : list) packer.pack_int64(n);
      break;
    }
    case 10: {
      const auto& list = std::get<EncodableList>(v);
      packer.pack_array(uint32_t(list.size()));
      for (const auto& e : list) Pack(packer, e);
      break;
    }
    case 11: {
      const auto& map = std::get<EncodableMap>(v);
      packer.pack_map(uint32_t(map.size()));
      for (const auto& e : map) {
        Pack(packer, e.first);
        Pack(packer, e.second);
      }
      break;
    }
    default:
      packer.pack_nil();  // Not used by the cases here.
  }
}

EncodableValue MsgpackEquivalent(const Case& c) {
  switch (c.kind) {
    case Kind::kCall:
      return EncodableList{EncodableValue("establishTunnel"), c.value};
    case Kind::kReply:
      return EncodableList{EncodableValue(0), c.value};
    default:
      return c.value;
  }
}

void Register(const Case& c) {
  const std::string name = c.name;
  const size_t size = Encode(c)->size();
  auto per_byte = [size](benchmark::State& state) {
    state.SetBytesProcessed(int64_t(state.iterations() * size));
  };
  benchmark::RegisterBenchmark((name + "/Encode").c_str(),
                               [c, per_byte](benchmark::State& state) {
                                 for (auto _ : state)
                                   benchmark::DoNotOptimize(Encode(c));
                                 per_byte(state);
                               });
  benchmark::RegisterBenchmark(
      (name + "/Decode").c_str(), [c, per_byte](benchmark::State& state) {
        const std::unique_ptr<std::vector<uint8_t>> bytes = Encode(c);
        for (auto _ : state) Decode(c, *bytes);
        per_byte(state);
      });
  benchmark::RegisterBenchmark((name + "/ModelCopy").c_str(),
                               [c, per_byte](benchmark::State& state) {
                                 for (auto _ : state) CopyModel(c);
                                 per_byte(state);
                               });
  benchmark::RegisterBenchmark((name + "/Memcpy").c_str(),
                               [size, per_byte](benchmark::State& state) {
                                 std::vector<uint8_t> from(size, 1), to(size);
                                 for (auto _ : state) {
                                   std::memcpy(to.data(), from.data(), size);
                                   benchmark::ClobberMemory();
                                 }
                                 per_byte(state);
                               });
  const EncodableValue equivalent = MsgpackEquivalent(c);
  benchmark::RegisterBenchmark(
      (name + "/MsgpackPack").c_str(),
      [equivalent, per_byte](benchmark::State& state) {
        for (auto _ : state) {
          msgpack::sbuffer buffer;
          msgpack::packer<msgpack::sbuffer> packer(buffer);
          Pack(packer, equivalent);
          benchmark::DoNotOptimize(buffer.data());
        }
        per_byte(state);
      });
  benchmark::RegisterBenchmark(
      (name + "/MsgpackUnpack").c_str(),
      [equivalent, per_byte](benchmark::State& state) {
        msgpack::sbuffer buffer;
        msgpack::packer<msgpack::sbuffer> packer(buffer);
        Pack(packer, equivalent);
        for (auto _ : state) {
          msgpack::object_handle handle =
              msgpack::unpack(buffer.data(), buffer.size());
          benchmark::DoNotOptimize(handle.get());
        }
        per_byte(state);
      });
}

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : Cases()) Register(c);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
