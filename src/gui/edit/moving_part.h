#pragma once
// A private copy of one part that the edit window shows while the part is
// placed or moved: the preview of the Move Part tool and of the placing tools.
#include <cstdint>
#include <cstring>

#include "board/sim_matrix.h"
#include "edit/part_hit_test.h"

namespace korvex::gui {

class MovingPart {
public:
    // Copies the kind and record of `part`.
    void CopyFrom(const Part& part);
    // Copies a template record of the given kind.
    void CopyFrom(uint32_t kind, const void* record);
    const Part& Entry() const { return entry_; }
    Part& Entry() { return entry_; }
    template <class T>
    T& Record() { return *reinterpret_cast<T*>(storage_); }

    // The move rules: the copy follows the mouse from the grab point. Ends are
    // moved one at a time, rectangles by an edge or as a whole (clamped to the
    // board), single-point parts to the mouse on the active layer.
    void ApplyMove(const SimMatrix& board, Probe grab, Probe mouse);

private:
    Part entry_;
    alignas(8) unsigned char storage_[sizeof(SeriesSubCircuit) > sizeof(SubCircuit) ? sizeof(SeriesSubCircuit)
                                                                                      : sizeof(SubCircuit)];
};

}  // namespace korvex::gui
