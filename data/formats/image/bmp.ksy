meta:
  id: bmp
  title: Windows bitmap image
  file-extension: bmp
  xref:
    mime: [image/bmp, image/x-ms-bmp]
  endian: le
doc: |
  The file header, the information header (its first field gives its
  size), the colour masks or palette after it, and the pixels where the
  file header points.
seq:
  - id: signature
    contents: "BM"
  - id: file_size
    type: u4
  - id: reserved1
    type: u2
  - id: reserved2
    type: u2
  - id: pixels_offset
    type: u4
  - id: info_size
    type: u4
  - id: info
    size: info_size - 4
    type:
      switch-on: info_size
      cases:
        12: core_info
        40: info
        52: info
        56: info
        108: info
        124: info
instances:
  pixels:
    pos: pixels_offset
    size: _io.size - pixels_offset
types:
  core_info:
    seq:
      - id: width
        type: u2
      - id: height
        type: u2
      - id: planes
        type: u2
      - id: bits_per_pixel
        type: u2
  info:
    seq:
      - id: width
        type: s4
      - id: height
        type: s4
      - id: planes
        type: u2
      - id: bits_per_pixel
        type: u2
      - id: compression
        type: u4
        enum: compression
      - id: image_size
        type: u4
      - id: x_pixels_per_meter
        type: s4
      - id: y_pixels_per_meter
        type: s4
      - id: colors_used
        type: u4
      - id: colors_important
        type: u4
      - id: masks
        type: u4
        repeat: expr
        repeat-expr: 4
        if: not _io.eof
      - id: rest
        size-eos: true
    instances:
      top_down:
        value: height < 0
enums:
  compression:
    0: rgb
    1: rle8
    2: rle4
    3: bitfields
    4: jpeg
    5: png
    6: alpha_bitfields
