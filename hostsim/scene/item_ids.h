// The host's item ids: the top four bits carry the kind (1 objects, 2 lights,
// 3 cameras, 4 bones). The host numbers objects, lights and cameras densely
// per kind from 0 in the low 28 bits; a bone's id holds its place among its
// object's bones in bits 16 to 27 and the low 16 bits of its object's id.
#ifndef QZ_HOSTSIM_SCENE_ITEM_IDS_H
#define QZ_HOSTSIM_SCENE_ITEM_IDS_H

#include <cstddef>
#include <cstdint>

#include "host/host_records.h"
#include "hostsim/scene/scene.h"

namespace hostsim {

constexpr std::uint32_t kSerialMask = ~kKindBitsMask;
// The most items of one kind the host can number, and bones one object can hold.
constexpr std::size_t kMaxSerials = std::size_t{kSerialMask} + 1;
constexpr std::size_t kMaxBonesPerObject = 0x1000;

constexpr std::uint32_t KindBitsOf(Kind kind) {
  constexpr std::uint32_t kBits[] = {kObjectKindBits, kLightKindBits, kCameraKindBits, kBoneKindBits};
  return kBits[static_cast<int>(kind)];
}

constexpr bool CarriesKindBits(std::uint32_t id, Kind kind) { return KindBits(id) == KindBitsOf(kind); }

// The id the host gives the item of `kind` it numbers `serial`-th (objects,
// lights and cameras); `serial` is below kMaxSerials.
constexpr std::uint32_t SerialId(Kind kind, std::size_t serial) {
  return KindBitsOf(kind) + static_cast<std::uint32_t>(serial);
}

constexpr std::uint32_t SerialOf(std::uint32_t id) { return id & kSerialMask; }

// The id of the object's bone at `boneIndex` (below kMaxBonesPerObject).
constexpr std::uint32_t BoneId(std::uint32_t objectId, std::size_t boneIndex) {
  return kBoneKindBits | static_cast<std::uint32_t>(boneIndex) << 16 | (objectId & 0xFFFFu);
}

constexpr bool BoneNamesObject(std::uint32_t boneId, std::uint32_t objectId) {
  return (boneId & 0xFFFFu) == (objectId & 0xFFFFu);
}

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_ITEM_IDS_H
