meta:
  id: jpeg
  title: JPEG image (segments)
  file-extension: [jpg, jpeg, jfif]
  xref:
    mime: image/jpeg
  endian: be
doc: |
  Marker segments up to the first start of scan; the entropy-coded data
  after it runs to the end-of-image marker, which ends the file.
seq:
  - id: segments
    type: segment
    repeat: until
    repeat-until: _.marker == marker::start_of_scan or _.marker == marker::end_of_image or _io.eof
  - id: scan_data
    size: _io.size - _io.pos - 2
    if: segments.last.marker == marker::start_of_scan
  - id: end_of_image
    contents: [0xff, 0xd9]
    if: segments.last.marker == marker::start_of_scan
types:
  segment:
    seq:
      - id: prefix
        contents: [0xff]
      - id: marker
        type: u1
        enum: marker
      - id: length
        type: u2
        if: has_length
      - id: data
        size: length - 2
        if: has_length
        type:
          switch-on: marker
          cases:
            'marker::app0': app0
            'marker::start_of_frame_baseline': start_of_frame
            'marker::start_of_frame_progressive': start_of_frame
            'marker::start_of_scan': start_of_scan
            'marker::quantization_table': quantization_tables
    instances:
      has_length:
        value: >-
          marker != marker::start_of_image and marker != marker::end_of_image
          and (marker.to_i < 0xd0 or marker.to_i > 0xd7)
  app0:
    seq:
      - id: identifier
        type: strz
        encoding: ASCII
      - id: version_major
        type: u1
        if: identifier == "JFIF"
      - id: version_minor
        type: u1
        if: identifier == "JFIF"
      - id: density_unit
        type: u1
        enum: density_unit
        if: identifier == "JFIF"
      - id: density_x
        type: u2
        if: identifier == "JFIF"
      - id: density_y
        type: u2
        if: identifier == "JFIF"
      - id: thumbnail_width
        type: u1
        if: identifier == "JFIF"
      - id: thumbnail_height
        type: u1
        if: identifier == "JFIF"
      - id: thumbnail
        size-eos: true
  start_of_frame:
    seq:
      - id: precision
        type: u1
      - id: height
        type: u2
      - id: width
        type: u2
      - id: component_count
        type: u1
      - id: components
        type: frame_component
        repeat: expr
        repeat-expr: component_count
  frame_component:
    seq:
      - id: id
        type: u1
      - id: horizontal_sampling
        type: b4
      - id: vertical_sampling
        type: b4
      - id: quantization_table
        type: u1
  start_of_scan:
    seq:
      - id: component_count
        type: u1
      - id: components
        type: scan_component
        repeat: expr
        repeat-expr: component_count
      - id: spectral_start
        type: u1
      - id: spectral_end
        type: u1
      - id: approximation_high
        type: b4
      - id: approximation_low
        type: b4
  scan_component:
    seq:
      - id: id
        type: u1
      - id: dc_table
        type: b4
      - id: ac_table
        type: b4
  quantization_tables:
    seq:
      - id: tables
        type: quantization_table
        repeat: eos
  quantization_table:
    seq:
      - id: precision
        type: b4
      - id: id
        type: b4
      - id: values
        size: 'precision == 0 ? 64 : 128'
enums:
  marker:
    0xc0: start_of_frame_baseline
    0xc2: start_of_frame_progressive
    0xc4: huffman_table
    0xd8: start_of_image
    0xd9: end_of_image
    0xda: start_of_scan
    0xdb: quantization_table
    0xdd: restart_interval
    0xe0: app0
    0xe1: app1
    0xfe: comment
  density_unit:
    0: none
    1: per_inch
    2: per_centimeter
