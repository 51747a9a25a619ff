// The floor of the start-up benchmark: the least an SDL program does to show a window of
// the launcher's size once. It writes the monotonic time of its present to the file named
// by its argument, in the automation stamp's format, and ends.
#include <SDL2/SDL.h>
#include <stdio.h>
#include <time.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: sdl_floor STAMP-FILE\n");
    return 2;
  }
  // A software window surface, as the launcher uses: the least work to show pixels.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "sdl_floor: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window = SDL_CreateWindow("floor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 900,
                                        560, SDL_WINDOW_BORDERLESS);
  SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
  if (!surface) {
    fprintf(stderr, "sdl_floor: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0x20, 0x30, 0x48));
  SDL_UpdateWindowSurface(window);
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  FILE* out = fopen(argv[1], "w");
  if (!out) return 1;
  fprintf(out, "first_present_us=%lld\n",
          static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000);
  fclose(out);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
