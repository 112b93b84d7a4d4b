#pragma once
// The result records of a mesh's nodes. A mesh keeps them in a store of its
// own, apart from the nodes, and makes a node's record the first time a result
// is written to it: a mesh that has only been built holds none, and the store
// goes with the mesh (FreeMesh, a new mesh in its place).
#include "mesh/mesh_model.h"

namespace korvex {

// The node's record in MESH's store, made (all zero) when the node has none.
// Null for a null argument or when out of memory.
MeshNodeResults* NodeResults(Mesh* mesh, MeshNode* node);

// Gives every node of the mesh its record (those it has stay); false when out of memory.
bool MakeEveryNodeResults(Mesh* mesh);

// The node's results for reading: all zero for a null node or one without a record.
const MeshNodeResults& ResultsOf(const MeshNode* node);

// Releases the store and every record in it; the nodes' record pointers are
// the caller's to clear (FreeMesh drops the nodes with it).
void FreeResultStore(Mesh* mesh);

// Hands the store of FROM to INTO (whose own store is released): the records
// stay where they are, so nodes pointing into them may now be INTO's.
void MoveResultStore(Mesh* from, Mesh* into);

}  // namespace korvex
