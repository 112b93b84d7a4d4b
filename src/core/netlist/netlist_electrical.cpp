#include "netlist/netlist_electrical.h"

#include <atomic>
#include <cstring>
#include <string_view>
#include <vector>

#include "board/part_lookup.h"
#include "board/sim_matrix.h"
#include "mesh/circuit_node_names.h"
#include "mesh/mesh_model.h"
#include "netlist/element_counters.h"
#include "netlist/node_access.h"
#include "netlist/resistance_tables.h"
#include "util/side_by_side.h"

namespace korvex {

using korvex::NetlistWriter;

namespace {

uint32_t TerminalID(const Mesh* mesh, uint32_t x, uint32_t y)
{
    return CoordinateToID(mesh, MeshPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)});
}

bool HasName(const char (&name)[kNetNameSize])
{
    return name[0] != '\0';
}

void WriteResistor(NetlistWriter& out, const Mesh* mesh, const Resistor& r)
{
    const uint32_t n = out.Counters().Resistor++;
    const bool name1 = HasName(r.Net1Name);
    const bool name2 = HasName(r.Net2Name);
    if (name1 && name2)
        out.Format("R%u %s %s %f\n", n, r.Net1Name, r.Net2Name, r.Rser);
    else if (name2)
        out.Format("R%u " KORVEX_DC_NODE " %s %f\n", n, r.Net1Z, TerminalID(mesh, r.Net1X, r.Net1Y), r.Net2Name,
                   r.Rser);
    else if (name1)
        out.Format("R%u %s " KORVEX_DC_NODE " %f\n", n, r.Net1Name, r.Net2Z, TerminalID(mesh, r.Net2X, r.Net2Y),
                   r.Rser);
    else
        out.Format("R%u " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f \n", n, r.Net1Z, TerminalID(mesh, r.Net1X, r.Net1Y),
                   r.Net2Z, TerminalID(mesh, r.Net2X, r.Net2Y), r.Rser);
}

// The positive node is the second terminal: the source drives its current
// into the copper at the first terminal and takes it out at the second. A net
// name replaces its terminal's node, as for resistors.
void WriteCurrentSource(NetlistWriter& out, const Mesh* mesh, const Current& c)
{
    const uint32_t n = out.Counters().CurrentSource++;
    const bool name1 = HasName(c.Net1Name);
    const bool name2 = HasName(c.Net2Name);
    if (name1 && name2)
        out.Format("I%u %s %s %f\n", n, c.Net2Name, c.Net1Name, c.Current);
    else if (name2)
        out.Format("I%u %s " KORVEX_DC_NODE " %f\n", n, c.Net2Name, c.Net1Z, TerminalID(mesh, c.Net1X, c.Net1Y),
                   c.Current);
    else if (name1)
        out.Format("I%u " KORVEX_DC_NODE " %s %f\n", n, c.Net2Z, TerminalID(mesh, c.Net2X, c.Net2Y), c.Net1Name,
                   c.Current);
    else
        out.Format("I%u " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f\n", n, c.Net2Z, TerminalID(mesh, c.Net2X, c.Net2Y),
                   c.Net1Z, TerminalID(mesh, c.Net1X, c.Net1Y), c.Current);
}

// One barrel segment per pair of adjacent layers, whether or not the nodes
// carry copper there.
void WriteViaBarrels(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, const Via& via, uint64_t key)
{
    const uint32_t id = TerminalID(mesh, via.x, via.y);
    const float area = ViaBarrelArea(via.Diameter, via.CopperThickness);
    const int layers = NetlistLayerCount(board->LayerCount);
    for (int l = 0; l + 1 < layers; ++l) {
        const float r = board->SizeZ[l] / (board->ElectricalConductivity * area);
        out.Format("RV%u_%1u " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f \n", key, l, l, id, l + 1, id, r);
    }
}

// A node ID as KORVEX_DC_NODE prints it ("%06u"), kept for the node's lines.
struct IdText {
    char text[16] = {};  // copied whole: ten digits at most, the rest is slack
    size_t size = 0;
    void Set(uint32_t id) { size = static_cast<size_t>(AppendUnsignedPadded(text, id, 6, '0') - text); }
};

// One copper branch line, KORVEX_DC_BRANCH " " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f\n",
// put together piece by piece: the same text as through NetlistWriter::Format.
static_assert(std::string_view(KORVEX_DC_BRANCH " " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f\n") ==
                  "RC%1u_%06u_%1u N%1u_%06u N%1u_%06u %f\n",
              "AppendCopperBranch spells out this line");
constexpr size_t kBranchLineBound = 4 + 16 + 6 + 16 + 4 + 16 + 1 + kMaxNumberText + 1;

// The branch from A to B on `layer` in `direction` at `out` (room for
// kBranchLineBound bytes); nothing when either node has no copper on the layer.
// Returns the end.
char* AppendCopperBranch(char* out, const SimMatrix* board, const MeshNode* a, const IdText& idA, const MeshNode* b,
                         const IdText& idB, int layer, int direction)
{
    if (a->bCopper[layer] == 0 || b->bCopper[layer] == 0) return out;
    const double meanTemperature = (a->Temperature[layer] + b->Temperature[layer]) / 2;
    const bool horizontal = direction == 0 || direction == 1;
    const float r0 = BranchBaseResistance(horizontal ? board->RdcX[layer] : board->RdcY[layer], horizontal, a->OrderX,
                                          a->OrderY, b->OrderX, b->OrderY);
    const float r = static_cast<float>(r0 * (1 + board->TemperatureCoefficient * (meanTemperature - 20)));
    const char l = static_cast<char>('0' + layer);
    char* p = out;
    p[0] = 'R', p[1] = 'C', p[2] = l, p[3] = '_';
    std::memcpy(p + 4, idA.text, sizeof idA.text);
    p += 4 + idA.size;
    p[0] = '_', p[1] = static_cast<char>('0' + direction), p[2] = ' ', p[3] = 'N', p[4] = l, p[5] = '_';
    std::memcpy(p + 6, idA.text, sizeof idA.text);
    p += 6 + idA.size;
    p[0] = ' ', p[1] = 'N', p[2] = l, p[3] = '_';
    std::memcpy(p + 4, idB.text, sizeof idB.text);
    p += 4 + idB.size;
    *p++ = ' ';
    p = AppendFixed(p, r);
    *p++ = '\n';
    return p;
}

// Branches per node and layer: right top, right bottom (when it is another
// node), bottom left, bottom right (likewise).
constexpr int kBranchesPerLayer = 4;
constexpr size_t kNodeTextBound = 8 * kBranchesPerLayer * kBranchLineBound;

// All branch lines of one node, layer by layer, at `out` (room for
// kNodeTextBound bytes). Returns the end.
char* AppendNodeBranches(char* out, const SimMatrix* board, const Mesh* mesh, const MeshNode* node, int layers)
{
    struct Neighbour {
        const MeshNode* node;
        int direction;
        IdText id;
    } neighbours[kBranchesPerLayer];
    int count = 0;
    const auto add = [&](uint32_t id, int direction) {
        const MeshNode* b = IDToAddress(mesh, id);
        if (b == nullptr) return;
        neighbours[count].node = b;
        neighbours[count].direction = direction;
        neighbours[count].id.Set(b->ID);
        ++count;
    };
    add(node->IDRightT, 0);
    if (node->IDRightB != node->IDRightT) add(node->IDRightB, 1);
    add(node->IDBotL, 2);
    if (node->IDBotR != node->IDBotL) add(node->IDBotR, 3);
    if (count == 0) return out;
    IdText id;
    id.Set(node->ID);
    for (int l = 0; l < layers; ++l) {
        if (node->bCopper[l] == 0) continue;
        for (int i = 0; i < count; ++i)
            out = AppendCopperBranch(out, board, node, id, neighbours[i].node, neighbours[i].id, l,
                                     neighbours[i].direction);
    }
    return out;
}

// The branch lines of all nodes, in list order, on the writer's own buffer.
void WriteBranchesInOrder(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, int layers)
{
    BelowNodePrefetch prefetch(mesh);
    for (const MeshNode* node = GetFirstNode(mesh); node != nullptr; node = GetNextNode(node)) {
        prefetch.Advance();
        char* at = out.Reserve(kNodeTextBound);
        if (at == nullptr) return;
        out.Commit(AppendNodeBranches(at, board, mesh, node, layers));
    }
}

// Boards of fewer nodes write their branches on one thread: starting a second
// one would cost more than it saves.
constexpr uint32_t kSideBySideNodes = 8192;
// Nodes per piece of the node list that one thread puts together in its half
// of the writer's buffer (some 200 KB of text on a typical mesh).
constexpr uint32_t kPieceNodes = 1024;

// The node list cut into pieces of kPieceNodes nodes. Two threads each take the
// next piece not yet taken, put its text together in their own half of the
// writer's buffer and write it when all earlier pieces are written. A piece
// whose text outgrows the half waits for its turn and writes as it goes.
// Where the pieces start is found by one walk down the list, which the calling
// thread makes while the helper thread already works on the first pieces.
// Nothing waits on a thread that may never start: the walk is done before the
// calling thread takes a piece, and the lowest unwritten piece never waits for
// its turn.
class BranchPieces {
public:
    BranchPieces(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, int layers)
        : out_(out), board_(board), mesh_(mesh), layers_(layers),
          starts_((mesh->NodeCount + kPieceNodes - 1) / kPieceNodes + 1, nullptr)
    {
    }

    // Finds where the pieces start. Should the list hold more nodes than the
    // mesh counts, the last piece takes the rest; should it hold fewer, the
    // pieces past its end are empty.
    void Walk()
    {
        const size_t pieces = Pieces();
        uint32_t n = 0;
        size_t found = 0;
        for (const MeshNode* node = GetFirstNode(mesh_); node != nullptr && found < pieces;
             node = GetNextNode(node), ++n) {
            if (n % kPieceNodes != 0) continue;
            starts_[found++] = node;
            Publish(found);
        }
        Publish(starts_.size());
    }

    void Work(char* buffer, size_t capacity)
    {
        for (;;) {
            const size_t piece = next_.fetch_add(1, std::memory_order_relaxed);
            if (piece >= Pieces()) return;
            WaitFor(known_, piece + 2);
            bool ourTurn = false;
            char* end = buffer;
            const MeshNode* const last = starts_[piece + 1];
            BelowNodePrefetch prefetch(mesh_, starts_[piece]);
            for (const MeshNode* node = starts_[piece]; node != last; node = GetNextNode(node)) {
                prefetch.Advance();
                if (capacity - static_cast<size_t>(end - buffer) < kNodeTextBound) {
                    if (!ourTurn) WaitFor(turn_, piece);
                    ourTurn = true;
                    out_.Block(std::string_view(buffer, static_cast<size_t>(end - buffer)));
                    end = buffer;
                }
                end = AppendNodeBranches(end, board_, mesh_, node, layers_);
            }
            if (!ourTurn) WaitFor(turn_, piece);
            out_.Block(std::string_view(buffer, static_cast<size_t>(end - buffer)));
            turn_.store(piece + 1, std::memory_order_release);
            turn_.notify_all();
        }
    }

private:
    size_t Pieces() const { return starts_.size() - 1; }

    // starts_[0 ... count - 1] are final.
    void Publish(size_t count)
    {
        known_.store(count, std::memory_order_release);
        known_.notify_all();
    }
    static void WaitFor(std::atomic<size_t>& value, size_t atLeast)
    {
        for (size_t v = value.load(std::memory_order_acquire); v < atLeast; v = value.load(std::memory_order_acquire))
            value.wait(v, std::memory_order_acquire);
    }

    NetlistWriter& out_;
    const SimMatrix* board_;
    const Mesh* mesh_;
    int layers_;
    // Piece k runs from starts_[k] up to starts_[k + 1]; the last entry stays null.
    std::vector<const MeshNode*> starts_;
    std::atomic<size_t> known_{0};  // entries of starts_ that the walk has settled
    std::atomic<size_t> next_{0};   // the next piece to take
    std::atomic<size_t> turn_{0};   // the piece to be written next
};

void WriteBranches(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, int layers)
{
    size_t capacity = 0;
    char* buffer = mesh->NodeCount < kSideBySideNodes ? nullptr : out.LendBuffer(&capacity);
    if (buffer == nullptr || capacity / 2 < 2 * kNodeTextBound) {
        WriteBranchesInOrder(out, board, mesh, layers);
        return;
    }
    BranchPieces pieces(out, board, mesh, layers);
    const size_t half = capacity / 2;
    RunSideBySide([&] { pieces.Work(buffer + half, capacity - half); },
                  [&] {
                      pieces.Walk();
                      pieces.Work(buffer, half);
                  });
}

}  // namespace

int WriteElectricalPart(NetlistWriter& out, SimMatrix* board, Mesh* mesh, Part* part, uint64_t viaKey)
{
    if (part == nullptr || part->pRecord == nullptr) return -1;
    switch (part->Kind) {
    case PART_RESISTOR: WriteResistor(out, mesh, *PartRecord<Resistor>(part)); break;
    case PART_CURRENT: WriteCurrentSource(out, mesh, *PartRecord<Current>(part)); break;
    case PART_VIA: WriteViaBarrels(out, board, mesh, *PartRecord<Via>(part), viaKey); break;
    default: break;
    }
    return 0;
}

int CreateSpiceElectricalElementMesh(NetlistWriter* file, SimMatrix* board, Mesh* mesh, Part* part)
{
    if (file == nullptr || board == nullptr || part == nullptr) return -1;
    return WriteElectricalPart(*file, board, mesh, part, PartKey(board, part));
}

int CreateSpiceCopperMesh(NetlistWriter* file, SimMatrix* board, Mesh* /*mesh*/, MeshNode* nodeA, MeshNode* nodeB,
                          int layer, int direction)
{
    if (file == nullptr || board == nullptr || nodeA == nullptr || nodeB == nullptr) return -1;
    if (GetbCopper(nodeA, layer) == 0 || GetbCopper(nodeB, layer) == 0) return -1;
    IdText idA, idB;
    idA.Set(nodeA->ID);
    idB.Set(nodeB->ID);
    if (char* at = file->Reserve(kBranchLineBound); at != nullptr)
        file->Commit(AppendCopperBranch(at, board, nodeA, idA, nodeB, idB, layer, direction));
    return 0;
}

void WriteSpiceElectricalMesh(NetlistWriter& out, SimMatrix* board, Mesh* mesh)
{
    out.Text("* SPICE generated by KORVEX\n");
    uint64_t key = 1;
    for (Part* part = GetFirstPart(board); part != nullptr; part = GetNextPart(part), ++key)
        WriteElectricalPart(out, board, mesh, part, key);
    ComputeCopperResistances(board);
    WriteBranches(out, board, mesh, NetlistLayerCount(board->LayerCount));
    out.Text(".options numdgt 16\n");
    out.Text(".options noopiter\n.options gminsteps=0\n.options srcsteps=0\n.options Gshunt=1e-12\n");
    out.Text(".op\n");
    out.Text(".end\n");
}

Status WriteElectricalNetlist(const char* path, SimMatrix* board, Mesh* mesh, ElementCounters* counters)
{
    if (board == nullptr || mesh == nullptr) return Status::Refused("no board or mesh to write a netlist of");
    return WriteNetlistFile(
        path, [&](NetlistWriter& out) { WriteSpiceElectricalMesh(out, board, mesh); }, counters);
}

int CreateSpiceElectricalMesh(const char* path, SimMatrix* board, Mesh* mesh)
{
    return WriteElectricalNetlist(path, board, mesh).Code();
}

}  // namespace korvex
