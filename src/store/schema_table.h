// The field descriptors of the installed schema file, as one table. The build writes the schema
// file guisla.z04 from this table (tools/write_schema.cpp); nothing else writes schema files.
#pragma once

#include <cstdint>
#include <vector>

#include "store/record_codec.h"

// Positions of the fields in the schema (1-based); the save addresses descriptors by position.
inline constexpr int kFieldDishName = 1;    // "Plato"
inline constexpr int kFieldIngredients = 2; // "Ingredientes"
inline constexpr int kFieldElaboration = 3; // "Preparación"
inline constexpr int kFieldPicture = 4;     // "Imagen"
inline constexpr int kFieldCategory = 5;    // "Categoria"
inline constexpr int kFieldExtension = 6;   // "extensión"
inline constexpr int kSchemaFieldCount = 6;

// The six descriptors in file order.
const std::vector<FieldDescriptor> &SchemaTable();

// The bytes of the schema file: the table's descriptors encoded one after the other.
std::vector<uint8_t> SchemaFileBytes();
