/* Speaks one text with eSpeak NG in a single synthesis and writes the recording (mono 16-bit WAV at the
 * synthesiser's rate) and its timings: one entry per character of the text, each word's characters spread evenly
 * over the word's stretch of audio, a character between words taking the time of the one before it.
 * Usage: speak-nudge <voice> <text> <out.wav> <out.json> */
#include <espeak-ng/speak_lib.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    int position; /* first character, 0-based */
    int length;   /* characters */
    int start_ms;
} Word;

static int16_t* samples;
static size_t sample_count, sample_room;
static Word words[512];
static int word_count;

static int on_synth(short* wav, int count, espeak_EVENT* events) {
    if (wav && count > 0) {
        if (sample_count + (size_t)count > sample_room) {
            sample_room = (sample_count + (size_t)count) * 2;
            samples = realloc(samples, sample_room * sizeof *samples);
            if (!samples)
                exit(3);
        }
        memcpy(samples + sample_count, wav, (size_t)count * sizeof *wav);
        sample_count += (size_t)count;
    }
    for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type == espeakEVENT_WORD && word_count < 512) {
            words[word_count].position = e->text_position - 1;
            words[word_count].length = e->length;
            words[word_count].start_ms = e->audio_position;
            ++word_count;
        }
    }
    return 0;
}

static void put16(FILE* f, unsigned v) { fputc((int)(v & 0xff), f), fputc((int)(v >> 8 & 0xff), f); }
static void put32(FILE* f, unsigned long v) { put16(f, (unsigned)(v & 0xffff)), put16(f, (unsigned)(v >> 16)); }

/* The UTF-8 characters of the text (this text is ASCII, but stay honest). */
static int split_characters(const char* text, const char** starts, int* lengths, int room) {
    int n = 0;
    for (const char* p = text; *p && n < room; ++n) {
        int len = 1;
        unsigned char c = (unsigned char)*p;
        if (c >= 0xf0) len = 4; else if (c >= 0xe0) len = 3; else if (c >= 0xc0) len = 2;
        starts[n] = p;
        lengths[n] = len;
        p += len;
    }
    return n;
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: speak-nudge <voice> <text> <out.wav> <out.json>\n");
        return 2;
    }
    const char* text = argv[2];
    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, NULL, 0);
    if (rate <= 0 || espeak_SetVoiceByName(argv[1]) != EE_OK) {
        fprintf(stderr, "speak-nudge: eSpeak NG could not start with voice %s\n", argv[1]);
        return 1;
    }
    espeak_SetSynthCallback(on_synth);
    if (espeak_Synth(text, strlen(text) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, NULL, NULL) != EE_OK ||
        espeak_Synchronize() != EE_OK || sample_count == 0 || word_count == 0) {
        fprintf(stderr, "speak-nudge: synthesis failed\n");
        return 1;
    }
    espeak_Terminate();

    FILE* wav = fopen(argv[3], "wb");
    if (!wav)
        return 1;
    unsigned long bytes = (unsigned long)sample_count * 2;
    fwrite("RIFF", 1, 4, wav), put32(wav, 36 + bytes), fwrite("WAVEfmt ", 1, 8, wav);
    put32(wav, 16), put16(wav, 1), put16(wav, 1), put32(wav, (unsigned long)rate), put32(wav, (unsigned long)rate * 2);
    put16(wav, 2), put16(wav, 16), fwrite("data", 1, 4, wav), put32(wav, bytes);
    for (size_t i = 0; i < sample_count; ++i)
        put16(wav, (unsigned)(uint16_t)samples[i]);
    if (fclose(wav) != 0)
        return 1;

    static const char* chars[4096];
    static int lens[4096];
    static double starts[4096];
    int n = split_characters(text, chars, lens, 4096);
    double total_ms = (double)sample_count * 1000.0 / rate;
    for (int i = 0; i < n; ++i)
        starts[i] = -1;
    for (int w = 0; w < word_count; ++w) {
        double begin = words[w].start_ms;
        double end = w + 1 < word_count ? words[w + 1].start_ms : total_ms;
        if (end < begin)
            end = begin;
        int length = words[w].length > 0 ? words[w].length : 1;
        for (int k = 0; k < length && words[w].position + k < n; ++k)
            starts[words[w].position + k] = (begin + (end - begin) * k / length) / 1000.0;
    }
    double last = 0;
    for (int i = 0; i < n; ++i) {
        if (starts[i] < last) /* between words, or placed out of order: the time of the one before */
            starts[i] = last;
        last = starts[i];
    }

    FILE* json = fopen(argv[4], "wb");
    if (!json)
        return 1;
    fputs("{\"characters\":[", json);
    for (int i = 0; i < n; ++i) {
        fputs(i ? ",\"" : "\"", json);
        for (int b = 0; b < lens[i]; ++b) {
            char c = chars[i][b];
            if (c == '"' || c == '\\')
                fputc('\\', json);
            fputc(c, json);
        }
        fputc('"', json);
    }
    fputs("],\"starts\":[", json);
    for (int i = 0; i < n; ++i)
        fprintf(json, i ? ",%.3f" : "%.3f", starts[i]);
    fputs("]}\n", json);
    return fclose(json) == 0 ? 0 : 1;
}
