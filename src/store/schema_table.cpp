// The installed schema: six descriptors, names and order fixed by the stored files.
//
// Names are Windows-1252 bytes ("\xF3" is ó). Choices made here:
// - attribute0 holds the field's position (1 to 6); attribute1 and attribute2 are 0. The store
//   copies them into every data record and never reads them back.
// - maxLength bounds what the save accepts for the four text fields:
//     "Plato"         250    a dish name is one line
//     "Ingredientes"  8000   a long list of ingredients, one per line
//     "Preparación"   32000  close to the largest value an int16 length allows (32767)
//     "Categoria"     50     the longest category name is 14 bytes; room for longer ones
//   The picture and its extension are not checked against a length; their values still state
//   what they may hold: "Imagen" 32767 (the int16 maximum: a picture has no limit of its own),
//   "extensión" 259 (the extension is taken from a picture path of at most 259 bytes).
#include "store/schema_table.h"

const std::vector<FieldDescriptor> &SchemaTable() {
    static const std::vector<FieldDescriptor> table = {
        {1, "Plato", 0, 250, 0},    {2, "Ingredientes", 0, 8000, 0}, {3, "Preparaci\xF3n", 0, 32000, 0},
        {4, "Imagen", 0, 32767, 0}, {5, "Categoria", 0, 50, 0},      {6, "extensi\xF3n", 0, 259, 0},
    };
    return table;
}

std::vector<uint8_t> SchemaFileBytes() {
    const std::vector<FieldDescriptor> &table = SchemaTable();
    std::vector<uint8_t> bytes(table.size() * kDescriptorSize);
    for (size_t i = 0; i < table.size(); ++i) {
        EncodeFieldDescriptor(table[i], bytes.data() + i * kDescriptorSize);
    }
    return bytes;
}
