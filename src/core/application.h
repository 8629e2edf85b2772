#pragma once

#include "core/command_line.h"
#include "core/driver_preload.h"
#include "core/shown_file.h"
#include "compare/compare_state.h"
#include "fields/fields_state.h"
#include "find/find_state.h"
#include "find/search_worker.h"
#include "hash/hash_state.h"
#include "history/view_history.h"
#include "identify/identify_state.h"
#include "inspect/inspect_state.h"
#include "map/file_map.h"
#include "render/overlay_block.h"
#include "render/page_geometry.h"
#include "render/charsets.h"
#include "select/selection.h"
#include "status/status_line.h"
#include "stdin/stdin_reader.h"
#include "watch/live_file.h"
#include "transfer/transfer_state.h"
#include "vk/pipeline_worker.h"

#include <SDL2/SDL.h>
#include <vulkan/vulkan.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

const int WIDTH = canvas_width;
const int HEIGHT = canvas_height;
const int MAX_FRAMES_IN_FLIGHT = 2;
const bool enableValidationLayers = false;
const uint64_t chunk_size = 2048;

struct UniformBufferObject;

struct QueueFamilyIndices {
    std::optional<uint32_t> graphicsFamily;
    std::optional<uint32_t> presentFamily;

    bool isComplete() const { return graphicsFamily.has_value() && presentFamily.has_value(); }
};

struct SwapChainSupportDetails {
    VkSurfaceCapabilitiesKHR capabilities{};
    std::vector<VkSurfaceFormatKHR> formats;
    std::vector<VkPresentModeKHR> presentModes;
};

VkSurfaceFormatKHR chooseSwapSurfaceFormat(const std::vector<VkSurfaceFormatKHR>& availableFormats);
VkPresentModeKHR chooseSwapPresentMode(const std::vector<VkPresentModeKHR>& availablePresentModes);

// The viewer: one window, one Vulkan device, one file shown through a
// 2048-byte window around the view position. Its members are defined in the
// file of the step they belong to (core/, render/, vk/).
class Application {
public:
    Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Stores the path; it is borrowed, never copied.
    void set_fname(char* path);
    // Window, Vulkan set-up, main loop, tear-down. Throws std::runtime_error
    // with the fixed message of whatever step failed.
    void run();
    // Drains events and draws a frame after each batch that asks for one;
    // returns after the batch that holds a quit event.
    void mainLoop();

    // Navigation (core/navigation.cpp). These move `offset`, the drag state
    // and the resize record, and set `need_redraw` when the page changes.
    // They clamp `offset` at 0 only; the frame clamps it at the end.
    void handle_event(const SDL_Event& event, bool& quit);
    void on_key_down(SDL_Keycode key, int fkey_direction);
    void scroll_one_step(int64_t delta);
    void on_left_btn_pressed(const SDL_Event* e);
    void on_mouse_motion(const SDL_Event* e);
    // A canvas x as the page under it has it: a compare's second page and
    // the panel right of both move left by a page.
    double page_x(double x) const;

    // Selection by mouse and keys (core/select_commands.cpp). They change
    // `selection`, and `offset` as far as the moving end must be shown.
    // on_select_press and on_select_key return whether the input was theirs.
    bool on_select_press(double x, double y);
    void on_select_motion(double x, double y);
    void on_drag_scroll();
    void end_select_drag();
    bool on_select_key(const SDL_Keysym& key);
    void move_selection_end(uint64_t byte);
    // The event of the timer that scrolls a selecting drag held beyond the rows.
    static Uint32 drag_scroll_event();

    // File window (core/file_window.cpp, the reads in ShownFile).
    // Clamps `offset` to the file (a compare's span), and empties each
    // file's window (moving it) when the page about to be shown leaves it.
    void clamp_view_and_check_window();
    // Refills emptied windows from their files, or reads them again after a
    // change; sets `file_size_changed` when a read found a new size. The
    // first read throws "failed to open input file!" when the path cannot
    // be opened as a file (with the system's reason when the open itself
    // failed, and in a compare the path), and refuses a file past 2^48
    // bytes, which the page cannot address; a later one that fails keeps
    // the bytes and records why in `live`.
    void load_file_window();

    // Find and go-to (core/find_commands.cpp). They change `find`, and
    // `offset` when a jump or a match moves the view, and set `need_redraw`
    // when the label line or the selection changes. on_find_key returns
    // whether the key was theirs; every other key keeps its meaning.
    bool on_find_key(const SDL_Keysym& key);
    void on_text_input(const char* text);
    void on_search_notice();
    void open_prompt(FindState::Prompt prompt, bool backward);
    void run_prompt();
    void start_search(const SearchPattern& pattern, bool backward);
    OverlayBlock overlay_block() const;

    // Going back and marks (core/history_commands.cpp). A jump records the
    // view it left; the keys and marks restore views, the frame clamps them.
    SavedView current_view() const;
    void record_jump(const SavedView& left);
    void restore_view(const SavedView& view);
    bool on_history_key(const SDL_Keysym& key);
    bool on_history_text(const std::string& typed);
    // Moves the view to the --at expression and selects the --select range
    // given at start; throws StartError with the go-to prompt's reason when
    // one is refused.
    void apply_start_position();
    // Live files (core/watch_commands.cpp). A notice re-measures the file,
    // lets a view of the last page follow it, reads the window again and
    // asks for a frame; a file that went keeps the page and says so.
    void on_watch_notice();
    // Standard input (core/stdin_commands.cpp). A file named `-` is standard
    // input, kept as it arrives in a file the reader fills; its notices
    // put its size on the status line and count as the watcher's.
    void open_standard_input();
    void on_stdin_notice();
    // The find prompt or status, else the live file's line, else "".
    std::string label_line() const;
    // Inspector (core/inspect_commands.cpp). Ctrl+I shows or hides the panel
    // and sizes the window for it; the panel's bytes are read for the frame
    // only when the offset they start at or the file's size changed, and the
    // overlay carries its text when it is shown.
    bool on_inspect_key(const SDL_Keysym& key);
    void refresh_inspector();
    void add_inspector_panel(OverlayBlock& block) const;
    // The canvas's width, and the panel's when one is shown.
    int page_width() const;
    // The status line, the help panel, quitting and the character set
    // (core/status_commands.cpp). F1 shows or hides the help beside the
    // page, as Ctrl+I the inspector, and Esc hides it; the help takes the
    // inspector's place while shown. Ctrl+Q, and with no prompt open q and
    // Ctrl+W, ask to quit: at once, or while a save runs on a second press,
    // which cancels it. Ctrl+T steps through the character sets.
    StatusFacts status_facts() const;
    void add_status_line(OverlayBlock& block) const;
    bool on_help_key(const SDL_Keysym& key);
    void add_help_panel(OverlayBlock& block) const;
    bool on_quit_key(const SDL_Keysym& key);
    void request_quit();
    bool on_charset_key(const SDL_Keysym& key);
    // Resizes the window's width for the panel shown, keeping its height.
    void size_for_panel();
    // A press on the scrollbar's track: a screen toward the press, repeated
    // while the button is held (on_track_repeat, from a timer's event).
    bool on_track_press(double x, double y);
    void on_track_repeat();
    void end_track_press();
    static Uint32 track_repeat_event();
    // The file map (core/map_commands.cpp). Ctrl+M turns it on or off;
    // fill_map_record writes it into a frame's record, first starting it
    // again when the file size or the track length changed.
    bool on_map_key(const SDL_Keysym& key);
    void on_map_notice();
    void on_pair_map_notice();
    void restart_map();
    void fill_map_record(OverlayBlock& overlay);
    // What the bytes are (core/identify_commands.cpp). The partitions are
    // read at start and when the size changes, the type line when the
    // panel's offset changes, the embedded files by a scan that `}` or `{`
    // starts; each answer arrives as a worker's notice.
    void start_partition_read();
    void on_partition_notice();
    void refresh_identify();
    void on_type_notice();
    std::vector<std::string> identify_panel_lines() const;
    void add_identify_ticks(OverlayBlock& overlay, int track_rows) const;
    bool on_identify_key(const SDL_Keysym& key);
    bool on_identify_text(const std::string& typed);
    void on_scan_notice();
    void go_to_embedded_file(bool backward);
    void on_identify_file_change();
    // The structure (core/fields_commands.cpp). A worker reads the file by
    // its description: the fields around the view when the view, the
    // selection or the window moves, a step by `.` or `,`, a go-to by
    // `@path`; each answer arrives as its notice. F2 shows the tree beside
    // the page in the inspector's place.
    void refresh_structure();
    void on_structure_notice();
    bool on_structure_key(const SDL_Keysym& key);
    bool on_structure_text(const std::string& typed);
    void step_by_field(bool backward, uint64_t from);
    // Asks for the field a path names and selects it when it is found.
    void go_to_field(const std::string& path);
    void add_structure_panel(OverlayBlock& block) const;
    void fill_field_record(OverlayBlock& overlay) const;
    // Copy and save (core/transfer_commands.cpp). Ctrl+C, Ctrl+Shift+C and
    // Ctrl+S, Enter in the save prompt and Esc while one runs; they change
    // `transfer` and `find`'s prompt and status, never the selection.
    bool on_transfer_key(const SDL_Keysym& key);
    // Saves bytes [first, end), the range chosen when Ctrl+S was pressed.
    void start_save(const std::string& name, bool replace, uint64_t first, uint64_t end);
    void start_copy(TransferWorker::Job::Kind kind);
    // "B.bin is shown here; choose another name", of the shown file at that path.
    std::string shown_refusal(const std::string& shown_path) const;
    void on_transfer_notice();
    // Hashes (core/hash_commands.cpp). `#` opens the menu, whose key starts
    // the worker on the focused file's selection (or the whole file); Esc
    // while it runs cancels it. They change `hash` and `find`'s status.
    bool on_hash_text(const std::string& typed);
    bool on_hash_key(const SDL_Keysym& key);
    void start_hash(HashKind kind);
    void on_hash_notice();

    // Compare (core/compare_commands.cpp, core/file_window.cpp). With a
    // second file the view spans the longer of the two (with the shift);
    // `]` `[` look for runs of differing bytes on the worker, `<` `>` change
    // the shift and Tab moves the focus between the pages.
    bool comparing() const { return file_b.path != nullptr; }
    uint64_t view_size() const;
    // The second file's offset at the view's first row: offset + shift.
    int64_t second_view() const;
    bool on_compare_key(const SDL_Keysym& key);
    bool on_compare_text(const std::string& typed);
    // `wrapped_from`: the look goes on from that end after finding none
    // from where it started.
    void start_difference(bool backward, std::optional<uint64_t> wrapped_from = std::nullopt);
    void on_difference_notice();
    void set_shift(int64_t new_shift);
    void fill_pair_record(OverlayBlock& overlay);
    // The file with the focus; the offset in it of a pair offset (0 for
    // one before its start), and the pair offset of one of its offsets.
    ShownFile& focused_file() { return comparing() && compare.focus == 1 ? file_b : file_a; }
    const ShownFile& focused_file() const { return comparing() && compare.focus == 1 ? file_b : file_a; }
    uint64_t focused_offset(uint64_t pair_offset) const;
    uint64_t focused_offset_in(int page, uint64_t pair_offset) const;
    uint64_t pair_offset(uint64_t focused) const;
    // The selection's bytes in a page's file, or the focused file's: first
    // and end; none when the selection holds no byte of that file.
    std::optional<std::pair<uint64_t, uint64_t>> selection_in(int page) const;
    std::optional<std::pair<uint64_t, uint64_t>> focused_selection() const;
    // A page's status facts of the selection: its bytes in that file, or
    // that it holds none of them.
    void describe_selection(int page, StatusFacts& facts) const;
    // How messages name a file: in a compare its name (file_label), and a
    // message about one file starts with it ("B.bin: file removed").
    std::string shown_name(const ShownFile& file) const;
    std::string about(const ShownFile& file, const std::string& message) const;
    // The paths of the files shown, none of which a save may replace.
    std::vector<std::string> shown_paths() const;
    // The label line's word on the files: each one's live line, named in a compare.
    std::string files_line() const;

    // Zoom and rows (core/zoom.cpp). They change `zoom`, `rows` and the
    // window's size, and ask for a rebuilt swap chain and a frame.
    bool on_zoom_key(const SDL_Keysym& key);
    void set_zoom(int new_zoom);
    // Asks for a window of this size, within the screen's usable area.
    void size_window(int width, int height);
    void zoom_to_desktop();
    void fit_rows();

    // View block (render/view_block.cpp).
    // Writes every byte of the frame's record; runs the window check and
    // load, so it may move `offset` and `chunk` and throw as load_file_window does.
    void fill_view_block(UniformBufferObject& ubo);
    // fill_view_block into the mapped buffer of swap chain image `currentImage`,
    // with the frame's overlay; returns whether the overlay needs the full page.
    bool updateUniformBuffer(uint32_t currentImage);

    SDL_Window* window;
    VkInstance instance;
    VkDebugUtilsMessengerEXT debugMessenger;
    VkSurfaceKHR surface;
    VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;
    VkDevice device;
    VkQueue graphicsQueue;
    VkQueue presentQueue;
    VkSwapchainKHR swapChain;
    std::vector<VkImage> swapChainImages;
    VkFormat swapChainImageFormat;
    VkExtent2D swapChainExtent;
    std::vector<VkImageView> swapChainImageViews;
    std::vector<VkFramebuffer> swapChainFramebuffers;
    VkRenderPass renderPass;
    VkDescriptorSetLayout descriptorSetLayout;
    VkPipelineLayout pipelineLayout;
    VkPipeline graphicsPipeline;
    VkCommandPool commandPool;
    VkImage textureImage;
    VkDeviceMemory textureImageMemory;
    VkImageView textureImageView;
    VkSampler textureSampler;
    VkBuffer vertexBuffer;
    VkDeviceMemory vertexBufferMemory;
    VkBuffer indexBuffer;
    VkDeviceMemory indexBufferMemory;
    std::vector<VkBuffer> uniformBuffers;
    std::vector<VkDeviceMemory> uniformBuffersMemory;
    VkDescriptorPool descriptorPool;
    std::vector<VkDescriptorSet> descriptorSets;
    std::vector<VkCommandBuffer> commandBuffers;
    std::vector<VkSemaphore> imageAvailableSemaphores;
    std::vector<VkSemaphore> renderFinishedSemaphores;
    std::vector<VkFence> inFlightFences;
    uint64_t currentFrame = 0;
    int32_t win_width = 0;
    int32_t win_height = 0;
    bool framebufferResized = false;
    bool dragging = false;
    bool need_redraw = true;
    double drag_start_y = 0.0;
    int64_t drag_start_offset = 0;
    // The file shown, and the one it is compared with, if any. The names
    // after them are the first file's, which every rule of one file uses.
    ShownFile file_a;
    ShownFile file_b;
    char*& fname = file_a.path;
    std::vector<uint8_t>& chunk = file_a.chunk;
    uint64_t& chunk_capacity = file_a.chunk_capacity;
    uint64_t& chunk_offset = file_a.chunk_offset;
    int64_t offset = 0;
    uint64_t& file_size = file_a.size;

    // Beyond the core state: the view block buffers stay mapped for their
    // whole life, each swap chain image remembers the fence of its last
    // submission, a load that found the size changed asks for one more
    // frame, reads are counted for tests and benchmarks, and the queue
    // families are looked up once.
    std::vector<void*> uniformBuffersMapped;
    std::vector<VkFence> imagesInFlight;
    bool& file_size_changed = file_a.size_changed;
    uint64_t& file_reads = file_a.reads;
    QueueFamilyIndices queueFamilies;  // those the device was made with
    VkDeviceSize overlayOffset = 0;    // of the overlay record in each view block buffer
    FindState find;
    Selection selection;   // a go-to target, a search match, or the user's own
    NavigationMemory navigation_memory;
    StartPosition start_position;  // from the command line
    // The last key pressed, whose text SDL sends after it; none when that key did something itself.
    std::optional<SDL_Keysym> text_key = SDL_Keysym{};
    InspectState inspector;
    SearchWorker search_worker;
    LiveFile& live = file_a.live;
    TransferState transfer;
    DriverPreload driver_preload;  // from SDL's start to the viewer's own instance
    int zoom = 1;           // canvas pixels are zoom x zoom window pixels
    int rows = page_rows;   // the rows the window shows
    FileMap file_map;
    StatusLine status_line;  // the standing state of features, below the page
    bool& character_device = file_a.character_device;  // the file is one: it has no size to show
    bool help_open = false;
    bool quit_requested = false;    // mainLoop returns after the batch
    bool quit_armed = false;        // "press again" was said while a save runs
    Charset charset = Charset::Koi8r;
    // A press held on the scrollbar's track: the direction (-1, 1, 0 for
    // none), the pointer's canvas height and the timer that repeats it.
    struct TrackPress {
        int direction = 0;
        double y = 0;
        int timer = 0;
    } track_press;
    IdentifyState identify;
    CompareState compare;
    FieldsState fields;
    HashState hash;
    StdinReader stdin_reader;

    // The page's two pipelines: the plain one draws the first frames and every
    // frame whose overlay is plain; the full one is built on a worker after
    // the first present and used from the first frame that needs it. Every
    // queue submission, present and wait for the device holds queue_lock,
    // since the worker submits its warming draw to the same queue.
    VkPipeline fullPipeline = VK_NULL_HANDLE;
    std::vector<VkCommandBuffer> fullCommandBuffers;
    VkFormat renderPassFormat = VK_FORMAT_UNDEFINED;  // the render pass and pipelines were made for it
    std::mutex queue_lock;
    PipelineWorker pipeline_worker;  // last: it joins before the members its build reads go

    // Set-up, in the order of initVulkan, and tear-down (core/lifecycle.cpp,
    // vk/). Public so that the tests can drive the same steps offscreen.
    // Each create step makes the objects it is named for and stores their
    // handles; a refusal throws std::runtime_error with the step's fixed
    // message. cleanup and cleanupSwapChain destroy them again.
    void initWindow();
    void initVulkan();
    // Lets every worker go, waiting for none (core/lifecycle.cpp).
    void stop_workers();
    void cleanup();

    // Instance and surface (vk/instance.cpp).
    void createInstance();
    void createInstanceWith(const std::vector<const char*>& extensions);
    std::vector<const char*> getRequiredExtensions();
    void setupDebugMessenger();
    void createSurface();

    // Device (vk/device.cpp).
    void pickPhysicalDevice();
    bool isDeviceSuitable(VkPhysicalDevice candidate);
    QueueFamilyIndices findQueueFamilies(VkPhysicalDevice candidate);
    bool checkDeviceExtensionSupport(VkPhysicalDevice candidate);
    SwapChainSupportDetails querySwapChainSupport(VkPhysicalDevice candidate);
    void createLogicalDevice();
    void createDeviceFor(const QueueFamilyIndices& families);

    // Swap chain (vk/swap_chain.cpp).
    void createSwapChain();
    VkExtent2D chooseSwapExtent(const VkSurfaceCapabilitiesKHR& capabilities);
    void createImageViews();
    VkImageView createImageView(VkImage image, VkFormat format);
    void cleanupSwapChain();
    void recreateSwapChain();

    // Render pass, pipelines, framebuffers (vk/pipeline.cpp). The viewport
    // and scissor are dynamic, so a new size keeps the render pass and the
    // pipelines; a new image format makes them again.
    void createRenderPass();
    void createDescriptorSetLayout();
    // The pipeline layout and the plain pipeline, `graphicsPipeline`.
    void createGraphicsPipeline();
    VkPipeline createPagePipeline(const std::vector<char>& fragment, VkRenderPass pass);
    VkShaderModule createShaderModule(const std::vector<char>& code);
    void createFramebuffers();
    void destroyPipelines();

    // The full pipeline (vk/full_pipeline.cpp): startFullPipeline has the
    // worker build it and warm it with one small offscreen draw;
    // useFullPipeline waits for it and records its command buffers. Both
    // return at once when there is nothing left to do.
    void startFullPipeline();
    void useFullPipeline();
    void warmPipeline(VkPipeline pipeline, VkRenderPass pass, VkFormat format, VkDeviceSize overlay_offset);
    // The queue's calls, under queue_lock.
    void submitGraphics(const VkSubmitInfo& info, VkFence fence);
    VkResult present(const VkPresentInfoKHR& info);
    void waitDeviceIdle();

    // Resources (vk/resources.cpp).
    void createCommandPool();
    void createBuffer(VkDeviceSize size, VkBufferUsageFlags usage, VkMemoryPropertyFlags properties,
                      VkBuffer& buffer, VkDeviceMemory& bufferMemory);
    uint32_t findMemoryType(uint32_t typeFilter, VkMemoryPropertyFlags properties);
    VkCommandBuffer beginSingleTimeCommands();
    void endSingleTimeCommands(VkCommandBuffer commandBuffer);
    void copyBuffer(VkBuffer srcBuffer, VkBuffer dstBuffer, VkDeviceSize size);
    void createImage(uint32_t width, uint32_t height, VkFormat format, VkImageTiling tiling,
                     VkImageUsageFlags usage, VkMemoryPropertyFlags properties, VkImage& image,
                     VkDeviceMemory& imageMemory);
    void transitionImageLayout(VkImage image, VkImageLayout oldLayout, VkImageLayout newLayout);
    void copyBufferToImage(VkBuffer buffer, VkImage image, uint32_t width, uint32_t height);
    void createStagingBuffer(const void* data, VkDeviceSize size, VkBuffer& buffer, VkDeviceMemory& memory);
    void createDeviceLocalBuffer(const void* data, VkDeviceSize size, VkBufferUsageFlags usage, VkBuffer& buffer,
                                 VkDeviceMemory& memory);
    void createTextureImage();
    void createTextureImageView();
    void createTextureSampler();
    void createVertexBuffer();
    void createIndexBuffer();
    void createUniformBuffers();
    void createDescriptorPool();
    void createDescriptorSets();

    // Frames (vk/frame.cpp). createCommandBuffers records a set for each
    // pipeline there is.
    void createCommandBuffers();
    void recordCommandBuffers(std::vector<VkCommandBuffer>& buffers, VkPipeline pipeline);
    void createSyncObjects();
    // Draws and presents one frame; clears `need_redraw` unless another frame
    // is owed, rebuilds the swap chain when it is out of date or resized.
    // Throws on a failed acquire, submit or present, and as load_file_window does.
    void drawFrame();
};
