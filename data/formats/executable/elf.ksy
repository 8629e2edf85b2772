meta:
  id: elf
  title: Executable and Linkable Format
  file-extension: [elf, o, so]
  xref:
    mime: [application/x-executable, application/x-sharedlib, application/x-object, application/x-pie-executable, application/x-elf]
doc: |
  The identification bytes say the class (32 or 64 bits) and the byte
  order of everything after them. The program and section header tables
  are read where the header points; each section's name is read from the
  section name string table.
seq:
  - id: ident
    type: ident
  - id: header
    type: header
types:
  ident:
    seq:
      - id: magic
        contents: [0x7f, "ELF"]
      - id: class
        type: u1
        enum: class
      - id: data
        type: u1
        enum: data
      - id: version
        type: u1
      - id: os_abi
        type: u1
        enum: os_abi
      - id: abi_version
        type: u1
      - id: padding
        size: 7
  header:
    meta:
      endian:
        switch-on: _root.ident.data
        cases:
          'data::lsb': le
          'data::msb': be
    seq:
      - id: type
        type: u2
        enum: object_type
      - id: machine
        type: u2
        enum: machine
      - id: version
        type: u4
      - id: entry
        type:
          switch-on: _root.ident.class
          cases:
            'class::bits32': u4
            'class::bits64': u8
      - id: program_headers_offset
        type:
          switch-on: _root.ident.class
          cases:
            'class::bits32': u4
            'class::bits64': u8
      - id: section_headers_offset
        type:
          switch-on: _root.ident.class
          cases:
            'class::bits32': u4
            'class::bits64': u8
      - id: flags
        type: u4
      - id: header_size
        type: u2
      - id: program_header_size
        type: u2
      - id: program_header_count
        type: u2
      - id: section_header_size
        type: u2
      - id: section_header_count
        type: u2
      - id: section_names_index
        type: u2
    instances:
      program_headers:
        pos: program_headers_offset
        size: program_header_size
        type: program_header
        repeat: expr
        repeat-expr: program_header_count
      section_headers:
        pos: section_headers_offset
        size: section_header_size
        type: section_header
        repeat: expr
        repeat-expr: section_header_count
    types:
      program_header:
        seq:
          - id: type
            type: u4
            enum: segment_type
          - id: flags64
            type: u4
            if: _root.ident.class == class::bits64
          - id: offset
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: virtual_address
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: physical_address
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: file_size
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: memory_size
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: flags32
            type: u4
            if: _root.ident.class == class::bits32
          - id: align
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
      section_header:
        seq:
          - id: name_offset
            type: u4
          - id: type
            type: u4
            enum: section_type
          - id: flags
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: address
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: offset
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: size
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: link
            type: u4
          - id: info
            type: u4
          - id: align
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
          - id: entry_size
            type:
              switch-on: _root.ident.class
              cases:
                'class::bits32': u4
                'class::bits64': u8
        instances:
          name:
            io: _root._io
            pos: _parent.section_headers[_parent.section_names_index].offset + name_offset
            type: strz
            encoding: ASCII
            if: _parent.section_names_index != 0 and _parent.section_names_index < _parent.section_header_count
enums:
  class:
    1: bits32
    2: bits64
  data:
    1: lsb
    2: msb
  os_abi:
    0: system_v
    3: linux
    6: solaris
    9: freebsd
    12: openbsd
  object_type:
    0: none
    1: relocatable
    2: executable
    3: shared
    4: core
  machine:
    0x03: x86
    0x08: mips
    0x14: powerpc
    0x15: powerpc64
    0x16: s390
    0x28: arm
    0x2a: superh
    0x32: ia64
    0x3e: x86_64
    0xb7: aarch64
    0xf3: riscv
  segment_type:
    0: unused
    1: load
    2: dynamic
    3: interp
    4: note
    5: shlib
    6: program_header
    7: tls
    0x6474e550: gnu_eh_frame
    0x6474e551: gnu_stack
    0x6474e552: gnu_relro
    0x6474e553: gnu_property
  section_type:
    0: unused
    1: progbits
    2: symtab
    3: strtab
    4: rela
    5: hash
    6: dynamic
    7: note
    8: nobits
    9: rel
    11: dynsym
    14: init_array
    15: fini_array
    16: preinit_array
    17: group
    18: symtab_shndx
    0x6ffffff6: gnu_hash
    0x6ffffffd: gnu_verdef
    0x6ffffffe: gnu_verneed
    0x6fffffff: gnu_versym
