meta:
  id: gzip
  title: gzip compressed file (one member)
  file-extension: [gz, tgz]
  xref:
    mime: [application/gzip, application/x-gzip]
  endian: le
doc: |
  One member: the header, its optional fields as its flags say, the
  deflate stream, and the trailer (CRC-32 and size modulo 2^32) in the
  last 8 bytes.
seq:
  - id: magic
    contents: [0x1f, 0x8b]
  - id: method
    type: u1
    enum: method
  - id: flags
    type: flags
  - id: modified
    type: u4
  - id: extra_flags
    type: u1
  - id: os
    type: u1
    enum: os
  - id: extra
    type: extra
    if: flags.has_extra
  - id: name
    type: strz
    encoding: ISO-8859-1
    if: flags.has_name
  - id: comment
    type: strz
    encoding: ISO-8859-1
    if: flags.has_comment
  - id: header_crc
    type: u2
    if: flags.has_header_crc
  - id: deflated
    size: _io.size - _io.pos - 8
  - id: crc32
    type: u4
  - id: size_mod_2_32
    type: u4
types:
  flags:
    meta:
      bit-endian: le
    seq:
      - id: text
        type: b1
      - id: has_header_crc
        type: b1
      - id: has_extra
        type: b1
      - id: has_name
        type: b1
      - id: has_comment
        type: b1
      - id: reserved
        type: b3
  extra:
    seq:
      - id: length
        type: u2
      - id: subfields
        size: length
        type: subfields
  subfields:
    seq:
      - id: entries
        type: subfield
        repeat: eos
  subfield:
    seq:
      - id: id
        type: str
        size: 2
        encoding: ASCII
      - id: length
        type: u2
      - id: data
        size: length
enums:
  method:
    8: deflate
  os:
    0: fat
    3: unix
    7: macintosh
    11: ntfs
    255: unknown
