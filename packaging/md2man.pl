#!/usr/bin/perl
# Turns one of the project's Markdown documents into a manual page, so that
# the document stays the only text to keep up to date. It knows the Markdown
# the documents use: one "# NAME: summary" title, ## and ### headings,
# paragraphs, "- " and "1. " lists, indented code blocks, pipe tables, `code`,
# **strong** and [links](target).
#
#   perl md2man.pl NAME VERSION DATE SOURCE.md OUTPUT.1 [SECTION-TO-LEAVE-OUT ...]
use strict;
use warnings;

my ($name, $version, $date, $source, $output, @leaveOut) = @ARGV;
die "usage: md2man.pl NAME VERSION DATE SOURCE OUTPUT [SECTION...]\n" unless defined $output;
my %skip = map { lc($_) => 1 } @leaveOut;

open(my $in, '<', $source) or die "md2man: cannot read $source: $!\n";
my @lines = <$in>;
close($in);
s/\r?\n\z// for @lines;

# Text of a line for roff: escapes first, then the inline markup.
sub inline {
  my ($text) = @_;
  $text =~ s/\\/\\e/g;
  my @parts = split /(`[^`]*`)/, $text;
  for my $part (@parts) {
    if ($part =~ /\A`(.*)`\z/s) {
      my $code = $1;
      $code =~ s/-/\\-/g;
      $part = "\\fB$code\\fR";
    } else {
      $part =~ s/\*\*(.+?)\*\*/\\fB$1\\fR/g;
      $part =~ s/\[([^\]]+)\]\([^)]+\)/$1/g;
    }
  }
  $text = join('', @parts);
  $text =~ s/\A([.'])/\\&$1/;
  return $text;
}

sub cells {
  my ($row) = @_;
  $row =~ s/\A\s*\|//;
  $row =~ s/\|\s*\z//;
  # A pipe inside a code span belongs to the cell.
  my @cells;
  my $cell = '';
  my $inCode = 0;
  for my $c (split //, $row) {
    $inCode = !$inCode if $c eq '`';
    if ($c eq '|' && !$inCode) {
      push @cells, $cell;
      $cell = '';
    } else {
      $cell .= $c;
    }
  }
  push @cells, $cell;
  s/\A\s+|\s+\z//g for @cells;
  return @cells;
}

# A table row: the last cell is a text block, so that long texts wrap; the
# others stay on one line.
sub row {
  my @cells = map { inline($_) } @_;
  for my $cell (@cells[0 .. $#cells - 1]) {
    die "md2man: '\@' in a table cell: $cell\n" if $cell =~ /@/;
    $cell = "\\&$cell" if $cell =~ /\A[.']/;
  }
  $cells[-1] = "T{\n$cells[-1]\nT}";
  return join('@', @cells);
}

my @out;
my $title = shift @lines // '';
$title =~ /\A# (\S+):\s*(.*)\z/ or die "md2man: $source must begin with '# NAME: summary'\n";
my ($whatis) = ($2);
my $upper = uc($name);
push @out, "'\\\" t", ".TH \"$upper\" \"1\" \"$date\" \"Glimmora $version\" \"User Commands\"",
    ".SH NAME", "$name \\- " . inline($whatis), ".SH DESCRIPTION";

my $skipping = 0;
my $i = 0;
while ($i < @lines) {
  my $line = $lines[$i];
  if ($line =~ /\A(#{2,3}) (.*)\z/) {
    my ($level, $heading) = (length($1), $2);
    $skipping = $skip{lc $heading} ? $level : ($skipping && $level > $skipping ? $skipping : 0);
    push @out, ($level == 2 ? '.SH "' . uc(inline($heading)) . '"' : '.SS "' . inline($heading) . '"')
        unless $skipping;
    ++$i;
    next;
  }
  if ($skipping || $line =~ /\A\s*\z/) {
    ++$i;
    next;
  }
  if ($line =~ /\A {4}/) {
    push @out, '.PP', '.RS 4', '.nf';
    while ($i < @lines && ($lines[$i] =~ /\A {4}/ || ($lines[$i] =~ /\A\s*\z/ && ($lines[$i + 1] // '') =~ /\A {4}/))) {
      my $code = substr($lines[$i], 4) // '';
      $code =~ s/\\/\\e/g;
      $code =~ s/-/\\-/g;
      $code =~ s/\A([.'])/\\&$1/;
      push @out, $code;
      ++$i;
    }
    push @out, '.fi', '.RE';
    next;
  }
  if ($line =~ /\A\|/) {
    my @header = cells($line);
    $i += 2;  # the header and its rule
    push @out, '.PP', '.TS', 'tab(@) allbox;', join(' ', ('lb') x @header), join(' ', ('l') x $#header, 'lx') . '.';
    push @out, row(@header);
    while ($i < @lines && $lines[$i] =~ /\A\|/) {
      push @out, row(cells($lines[$i]));
      ++$i;
    }
    push @out, '.TE', '.sp';
    next;
  }
  if ($line =~ /\A(- |\d+\. )(.*)\z/) {
    my $marker = $1;
    my $text = $2;
    ++$i;
    # An item goes on in lines indented by two or three blanks (four make code).
    while ($i < @lines && $lines[$i] =~ /\A {2,3}\S/) {
      $text .= ' ' . ($lines[$i] =~ s/\A\s+//r);
      ++$i;
    }
    my $mark = $marker eq '- ' ? '\\(bu' : $marker =~ s/ \z//r;
    push @out, ".IP $mark 4", inline($text);
    next;
  }
  my $text = $line;
  ++$i;
  while ($i < @lines && $lines[$i] !~ /\A\s*\z/ && $lines[$i] !~ /\A(#|\||- |\d+\. | {4})/) {
    $text .= ' ' . $lines[$i];
    ++$i;
  }
  push @out, '.PP', inline($text);
}

open(my $file, '>', $output) or die "md2man: cannot write $output: $!\n";
print {$file} map { "$_\n" } @out;
close($file) or die "md2man: cannot write $output: $!\n";
