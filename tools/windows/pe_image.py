"""The parts of a Windows executable (PE file) that the checks read, from the file itself:
its resources, the DLLs it imports and the flags of its optional header."""
import struct

RT_VERSION = 16
RT_MANIFEST = 24
# IMAGE_DLLCHARACTERISTICS_*
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an executable (no MZ header)")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        # The same place in PE32 and PE32+.
        self.dll_characteristics_at = optional + 70
        directories = optional + (96 if magic == 0x10B else 112)
        self.import_rva = struct.unpack_from("<I", data, directories + 1 * 8)[0]
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.delay_import_rva = struct.unpack_from("<I", data, directories + 13 * 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, table + i * 40 + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    @property
    def dll_characteristics(self):
        return struct.unpack_from("<H", self.data, self.dll_characteristics_at)[0]

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"address {rva:#x} lies in no section")

    def text_at(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii", "replace")

    def imports(self):
        """The names of the DLLs the file imports from, at load time or delayed, as written."""
        names = []
        if self.import_rva:
            at = self.offset(self.import_rva)
            while True:
                lookup, _, _, name, thunks = struct.unpack_from("<5I", self.data, at)
                if not (lookup or name or thunks):
                    break
                names.append(self.text_at(name))
                at += 20
        if self.delay_import_rva:
            at = self.offset(self.delay_import_rva)
            while True:
                attributes, name = struct.unpack_from("<2I", self.data, at)
                if not name:
                    break
                names.append(self.text_at(name))
                at += 32
        return names

    def directory(self, offset):
        """(name or id, offset of the entry's data or subdirectory, is a directory) for each entry."""
        base = self.offset(self.resource_rva)
        named, numbered = struct.unpack_from("<HH", self.data, offset + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, offset + 16 + i * 8)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, base + (target & 0x7FFFFFFF), bool(target & 0x80000000)

    def resources(self, kind):
        """(name or id, language, file offset, bytes) of each resource of the type."""
        if not self.resource_rva:
            return
        for found, types, _ in self.directory(self.offset(self.resource_rva)):
            if found != kind:
                continue
            for name, languages, _ in self.directory(types):
                for language, entry, _ in self.directory(languages):
                    rva, size = struct.unpack_from("<II", self.data, entry)
                    start = self.offset(rva)
                    yield name, language, start, self.data[start:start + size]
